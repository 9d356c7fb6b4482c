// The network view from the main window: the server the run asks for starts once capture runs,
// and the dialog's OK stores its values where they belong and serves them at once.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QSpinBox>

#include "dialog_controls.h"
#include "loopback_port.h"
#include "network_view_dlg.h"
#include "rtsp_server.h"
#include "settings_store.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;
using network::CNetworkViewDlg;
using testsupport::FreeLoopbackPort;
using testsupport::ListeningOnLoopback;

class NetworkViewStation : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~NetworkViewStation() override { CloseMailbox(); }
    using CQuorvaneDlg::networkViewDlg_;
    using CQuorvaneDlg::rtspServer_;
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class StationNetworkView : public ovistra::testing::StationFixture {};

TEST_F(StationNetworkView, TheRunsServerStartsWithCaptureAndTheDialogsValuesAreStoredAndServed) {
    AddSimulatedDevice();
    ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
    const uint16_t runPort = FreeLoopbackPort();
    const uint16_t chosenPort = FreeLoopbackPort();
    ASSERT_TRUE(runPort != 0 && chosenPort != 0 && runPort != chosenPort);
    context.rtspAtStart.port = runPort;
    NetworkViewStation station(context);
    const QString customSettings = context.programFolder + "customSetting/CustomSetting.dt";
    bool servedChosen = false, runPortLeft = false, offStopped = false;
    auto running = [&] { return station.rtspServer_ && station.rtspServer_->running(); };
    auto dialogOpen = [&] { return station.networkViewDlg_ && station.networkViewDlg_->isVisible(); };
    auto answered = [&] { return !station.networkViewDlg_->isVisible(); };
    auto edit = [&](int id) {
        return qobject_cast<QLineEdit*>(station.networkViewDlg_->Control(id));
    };
    TakeSteps(station,
              {{running, [&] { station.OnCommand(CNetworkViewDlg::kCommand); }},
               {dialogOpen,
                [&] {
                    // Nothing is stored, but the run serves: the dialog shows it serving
                    // where it serves.
                    EXPECT_TRUE(ovistra::testing::IsChecked(*station.networkViewDlg_,
                                                            CNetworkViewDlg::kOnBox));
                    auto* port = qobject_cast<QSpinBox*>(
                        station.networkViewDlg_->Control(CNetworkViewDlg::kPortEdit));
                    EXPECT_EQ(port->value(), runPort);
                    port->setValue(chosenPort);
                    edit(CNetworkViewDlg::kUserEdit)->setText("viewer");
                    edit(CNetworkViewDlg::kPasswordEdit)->setText("top secret");
                    station.networkViewDlg_->OnConfirm();
                }},
               {answered,
                [&] {
                    servedChosen = running() && ListeningOnLoopback(chosenPort);
                    runPortLeft = !ListeningOnLoopback(runPort);
                    station.OnCommand(CNetworkViewDlg::kCommand);
                }},
               {dialogOpen,
                [&] {
                    EXPECT_EQ(edit(CNetworkViewDlg::kPasswordEdit)->text(), "top secret");
                    ovistra::testing::ClickControl(*station.networkViewDlg_,
                                                   CNetworkViewDlg::kOnBox);
                    station.networkViewDlg_->OnConfirm();
                }},
               {answered, [&] { offStopped = !running() && !ListeningOnLoopback(chosenPort); }}});
    EXPECT_TRUE(station.RunModal());
    EXPECT_TRUE(servedChosen);
    EXPECT_TRUE(runPortLeft);
    EXPECT_TRUE(offStopped);
    const QByteArray key = Contents(keyFile);
    EXPECT_TRUE(key.contains("\"RtspPort\"=dword:00000000")) << key.toStdString();
    EXPECT_FALSE(key.contains("viewer")) << key.toStdString();
    EXPECT_FALSE(key.contains("secret")) << key.toStdString();
    const QByteArray stored = Contents(customSettings);
    EXPECT_TRUE(stored.contains("RtspUser=viewer")) << stored.toStdString();
    EXPECT_TRUE(stored.contains("RtspPassword=top%20secret")) << stored.toStdString();
    EXPECT_EQ(QFile::permissions(customSettings) & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

}  // namespace
