// The network view dialog: whether the cameras are served over RTSP, on which port and address,
// and the one user let in. It edits its own copy of the stored values and hands it back by
// posting to the main window, which saves it and starts the server anew.
#pragma once

#include <cstdint>

#include "posted_answer_dialog.h"
#include "rtsp_config.h"

namespace ovistra::network {

struct NetworkViewValues {
    uint32_t port = 0;  // 0: off
    QString bind = QStringLiteral("127.0.0.1");
    RtspCredentials credentials;
};

class CNetworkViewDlg : public PostedAnswerDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 170;
    static constexpr int kCommand = 32790;  // the main window's context menu
    static constexpr uint32_t kConfirmed = 1840;
    static constexpr uint32_t kCancelled = 1841;

    // Controls of template 170 besides OK and Cancel.
    static constexpr int kOnBox = 1001;
    static constexpr int kPortEdit = 1002;
    static constexpr int kAddressEdit = 1003;
    static constexpr int kUserEdit = 1004;
    static constexpr int kPasswordEdit = 1005;
    static constexpr int kUrlLine = 1006;

    static constexpr int kTextCommand = 440;
    static constexpr int kTextNeedsUser = 445;
    static constexpr int kTextNotAnAddress = 446;
    static constexpr int kTextUrls = 447;
    static constexpr int kTextOff = 448;
    static constexpr int kTextNeedsPassword = 457;

    // The resource library must outlive the dialog.
    CNetworkViewDlg(const ResourceLibrary& resources, platform::WindowHandle mainWindow,
                    QWidget* parent = nullptr);
    ~CNetworkViewDlg() override;

    // Shown from the next opening on.
    void SetValues(const NetworkViewValues& values) { values_ = values; }
    // After a confirm, the confirmed values.
    const NetworkViewValues& values() const { return values_; }

    // The address clients open for the server at `bind`: one that listens everywhere is
    // reached by this machine's name.
    static QString UrlFor(const QString& bind, uint32_t port);

protected:
    void OnOpen() override;
    bool Confirmable() override;
    void ReadControls() override;

private:
    void ShowUrl();
    void Refuse(int textId);

    NetworkViewValues values_;
};

}  // namespace ovistra::network
