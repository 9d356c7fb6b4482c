// The camera settings dialog from the main window: opened and closed by its button and
// messages, its announcements taken into the cycling timings and the captions, its device
// changes reaching the simulated device, and its group written at exit only when it was opened.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include "c_camera_set_dlg.h"
#include "dialog_controls.h"
#include "settings_store.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class CameraSettingsWindow : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~CameraSettingsWindow() override { CloseMailbox(); }
    using CQuorvaneDlg::cameraSetDlg_;
};

class StationCameraSettings : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        devices.Add(media::DeviceCategory::VideoInput, device);
        context.devices = &devices;
    }
    QByteArray KeyFile() const {
        QFile file(keyFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Runs the window, does `steps` one after the other as its loop turns, then exits.
    static void Run(CameraSettingsWindow& window, std::vector<std::function<void()>> steps) {
        int at = 300;
        for (auto& step : steps) {
            AfterLoopStarts(window, at, std::move(step));
            at += 150;
        }
        EXPECT_TRUE(RunThenExit(window, at));
    }
    static void Type(CameraSettingsWindow& window, int id, const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(window.cameraSetDlg_->Control(id));
        ASSERT_TRUE(edit) << id;
        edit->setText(text);
        emit edit->editingFinished();
    }
    static bool Shown(const CameraSettingsWindow& window) {
        return window.cameraSetDlg_ && window.cameraSetDlg_->isVisible();
    }

    std::shared_ptr<media::SimulatedDevice> device =
        std::make_shared<media::SimulatedDevice>(media::SimDeviceConfig{});
};

TEST_F(StationCameraSettings, ConfirmedNamesTimingsAndStandardTakeEffectAndAreWrittenAtExit) {
    CameraSettingsWindow window(context);
    std::vector<bool> shown;
    QString caption;
    Run(window, {[&] {
                     for (int press = 0; press < 3; ++press) {
                         window.OnCommand(ids::kCameraSetButton);
                         shown.push_back(Shown(window));
                     }
                 },
                 [&] {
                     Type(window, CCameraSetDlg::kNameEdit, "Gate");
                     Type(window, CCameraSetDlg::kEachTimeEdit, "2.5");
                     ovistra::testing::ClickControl(*window.cameraSetDlg_,
                                                    CCameraSetDlg::kNtscButton);
                 },
                 [&] {
                     EXPECT_EQ(window.settings().eachTimeMs.Get(), 2500u);
                     window.cameraSetDlg_->OnConfirm();
                 },
                 [&] {
                     shown.push_back(Shown(window));
                     caption = qobject_cast<QLabel*>(window.Control(ids::kFirstCaption))->text();
                 }});
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(caption.contains(QStringLiteral("Gate"))) << caption.toStdString();
    EXPECT_EQ(device->FramesPerSecond(), 30);
    const QByteArray key = KeyFile();
    EXPECT_TRUE(key.contains("\"Camera1OSD\"=\"Gate\"")) << key.toStdString();
    EXPECT_TRUE(key.contains("\"EachTime\"=dword:000009c4")) << key.toStdString();
}

TEST_F(StationCameraSettings, CancelPutsTheCyclingTimingsBackAndNothingIsWrittenUnopened) {
    {
        const QByteArray before = KeyFile();
        CameraSettingsWindow untouched(context);
        Run(untouched, {});
        EXPECT_EQ(KeyFile(), before);
    }
    CameraSettingsWindow window(context);
    uint32_t intervalWhileOpen = 0;
    Run(window, {[&] { window.PostMessage(ids::kCameraSetToggleAndHand, 0, 0); },
                 [&] {
                     ASSERT_TRUE(Shown(window));
                     ovistra::testing::ClickControl(*window.cameraSetDlg_, 1136);
                 },
                 [&] {
                     intervalWhileOpen = window.settings().intervalTimeMs.Get();
                     window.cameraSetDlg_->OnCancel();
                 },
                 [&] { EXPECT_FALSE(Shown(window)); }});
    EXPECT_EQ(intervalWhileOpen, 250u);
    EXPECT_EQ(window.settings().intervalTimeMs.Get(), 300u);
    EXPECT_EQ(window.settings().disTimeMs.Get(), 50u);
    EXPECT_TRUE(KeyFile().contains("\"Intervaltime\"=dword:0000012c"));
}

}  // namespace
