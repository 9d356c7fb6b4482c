// The record settings dialog: where recordings go, frames per second, which cameras get the
// date and time burnt in, which camera carries the sound and from which input, and the
// recording mode. It edits its
// own copy of the settings and hands it back by posting 1679 to the main window.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "posted_answer_dialog.h"
#include "registry_settings.h"

class QSpinBox;

namespace ovistra {

class CRecordSetDlg : public PostedAnswerDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 138;

    // Controls of template 138 besides OK and Cancel.
    static constexpr int kRecordPathEdit = 1006;
    static constexpr int kBrowseButton = 1147;
    static constexpr int kDiskLine = 1158;
    static constexpr int kFolderLine = 1160;  // the folder recordings go to, however given
    static constexpr int kFrameRateAllEdit = 1055;
    static constexpr int kFrameRateEdits[RegistrySettings::kCameras] = {1146, 1051, 1155, 1050};
    static constexpr int kAllCamerasStamp = 1048;
    static constexpr int kFirstCameraStamp = 1057;  // 1057..1060: camera 1..4
    static constexpr int kFirstAudioCamera = 1107;  // 1107..1110: camera 1..4
    static constexpr int kNoAudio = 1111;
    static constexpr int kNormalMode = 1112;
    static constexpr int kCircularMode = 1113;
    static constexpr int kAccountSwitchOff = 1156;
    static constexpr int kAccountSwitchOn = 1157;
    static constexpr int kAudioInputList = 1159;

    static constexpr int kMinFrameRate = 1;
    static constexpr int kMaxFrameRate = 30;

    // Texts around the two disk sizes.
    static constexpr int kTextDiskSize = 198;
    static constexpr int kTextDiskFree = 180;
    // The sound input list's entries: the station's own choice, and a stored input not there now.
    static constexpr int kTextAutomaticInput = 294;
    static constexpr int kTextAbsentInput = 295;
    static constexpr int kTextFolderUsed = 375;

    // Asks the user for a folder; an empty answer means the user gave none.
    using FolderChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

    // `values` is the main window's current settings; the dialog keeps its own copy. The
    // resource library must outlive the dialog. The main window receives 1679 on confirm and
    // on cancel through `mainWindow`.
    CRecordSetDlg(const RegistrySettings& values, const ResourceLibrary& resources,
                  platform::WindowHandle mainWindow, QWidget* parent = nullptr);
    ~CRecordSetDlg() override;

    // The dialog's copy: after a confirm the confirmed values, after a cancel those it opened
    // with; the main window receives 1679 either way.
    const RegistrySettings& settings() const { return values_; }
    // Copies only the record group (path, frame rates, stamps, sound, mode, account switch), so
    // settings the main window changed meanwhile elsewhere are left alone.
    void CopyRecordValuesTo(RegistrySettings& target) const;

    // The names of the sound inputs there are now, offered from the next opening on.
    void SetAudioInputNames(QStringList names) { audioInputNames_ = std::move(names); }

    // Replaces the system folder browser, for example where no one can answer it.
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    // Text 198, total size, text 180, free size, in GiB; empty when the file system holding
    // `folder` (or its nearest existing parent) cannot be asked.
    static QString DiskLine(const ResourceLibrary& resources, const QString& folder);

    // The browse button's action.
    void OnBrowse();

protected:
    void OnOpen() override;
    void ReadControls() override;

private:
    // The folder line and the disk line for the record path as typed or chosen.
    void ShowFolder(const QString& recordPath);
    void OnAllCamerasStamp(bool checked);
    void OnCameraStamp();

    QSpinBox* Spin(int id) const;
    void FillAudioInputList();

    RegistrySettings values_;  // written from the controls only on confirm
    FolderChooser chooseFolder_;
    QStringList audioInputNames_;
};

}  // namespace ovistra
