// The main window with a real capture graph on the simulated device: routing, failures,
// the camera enable set and an exit path that runs once with every timer stopped.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "capture_graph.h"
#include "frame_grabber.h"
#include "sim_device.h"
#include "station_fixture.h"
#include "video_view.h"

namespace {

using namespace ovistra;

class CaptureDialog : public ovistra::testing::RecordingDialog {
public:
    using RecordingDialog::RecordingDialog;

    using CQuorvaneDlg::ApplyCameraEnableSet;
    using CQuorvaneDlg::captureGraph_;
    using CQuorvaneDlg::noSignalMarks_;
    using CQuorvaneDlg::switchState_;
    using CQuorvaneDlg::views_;
    bool allCamerasActive() const { return allCamerasActive_; }

    std::function<void()> duringStopRecordings;
    int scheduleChecks = 0;
    int switchingStops = 0;

protected:
    void CheckSchedules() override { ++scheduleChecks; }
    void StopSwitching() override {
        ++switchingStops;
        CQuorvaneDlg::StopSwitching();
    }
    void StopAllRecordings() override {
        if (duringStopRecordings) {
            duringStopRecordings();
        }
    }
};

// A device found under the chip-control name but without the chip's property interface.
class DeviceWithoutChipProperty final : public media::CaptureDevice {
public:
    std::string FriendlyName() const override { return "USB 2820 Video"; }
    GstElement* MakeSourceElement() override {
        return gst_element_factory_make("videotestsrc", nullptr);
    }
    media::IChipProperty* ChipProperty() override { return nullptr; }
    media::I2cBus* Bus() override { return nullptr; }
    media::VideoProcAmp* ProcAmp() override { return sim_->ProcAmp(); }
    media::Crossbar* CrossbarControl() override { return sim_->CrossbarControl(); }

private:
    std::shared_ptr<media::SimulatedDevice> sim_ =
        std::make_shared<media::SimulatedDevice>(media::SimDeviceConfig{});
};

class StationCapture : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        context.devices = &devices;
    }
    void AddSimulated(std::string name = "USB 2.0 A/V Converter") {
        media::SimDeviceConfig config;
        config.name = std::move(name);
        AddSimulatedDevice(std::move(config));
    }
};

TEST_F(StationCapture, EveryFrameAGrabberReceivesShowsItsOwnCamera) {
    AddSimulated();
    CaptureDialog dialog(context);
    std::array<std::atomic<int>, 4> wrong{};
    std::array<std::atomic<int>, 4> seen{};
    dialog.onCaptureStarted = [&] {
        for (int i = 0; i < 4; ++i) {
            media::FrameGrabber& grabber = dialog.captureGraph_->router().grabber(i);
            grabber.SetFrameCallback([&grabber, &wrong, &seen, i] {
                const media::FrameGrabber::Lease lease = grabber.GetBuffer();
                ++seen[i];
                if (media::SimulatedDevice::CameraShownIn(lease.data()) != i + 1) {
                    ++wrong[i];
                }
            });
        }
    };
    EXPECT_TRUE(RunThenExit(dialog, 10000));
    for (int i = 0; i < 4; ++i) {
        EXPECT_GT(seen[i], 0) << "camera " << i + 1;
        EXPECT_EQ(wrong[i], 0) << "camera " << i + 1;
        EXPECT_GE(statistics.frames[i].load(), static_cast<uint64_t>(seen[i])) << i;
    }
    EXPECT_GT(statistics.switches.load(), 4u);
}

TEST_F(StationCapture, NoDeviceUnderTheStationsNamesEndsTheStartWithText116Caption124) {
    AddSimulated("Other");
    CaptureDialog dialog(context);
    EXPECT_FALSE(dialog.RunModal());
    const auto& history = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].textId, 116);
    EXPECT_EQ(history[0].captionId, 124);
}

TEST_F(StationCapture, NoControlChannelEndsTheStartWithText116Caption119) {
    devices.Add(media::DeviceCategory::VideoInput, std::make_shared<DeviceWithoutChipProperty>());
    CaptureDialog dialog(context);
    EXPECT_FALSE(dialog.RunModal());
    const auto& history = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].textId, 116);
    EXPECT_EQ(history[0].captionId, 119);
}

TEST_F(StationCapture, TheCameraEnableSetSetsTheViewModes) {
    struct Case {
        std::array<int, 4> enabled;
        bool single;
        bool allActive;
        bool cyclingButton;
    };
    const Case cases[] = {
        {{1, 1, 1, 1}, false, true, true},
        {{1, 0, 1, 1}, false, false, true},
        {{0, 0, 1, 0}, true, false, true},
        {{0, 0, 0, 0}, false, false, false},
    };
    AddSimulated();
    CaptureDialog dialog(context);
    dialog.onCaptureStarted = [&] {
        for (const Case& c : cases) {
            for (int i = 0; i < 4; ++i) {
                dialog.switchState_.cameraEnabled[i] = c.enabled[i];
            }
            dialog.ApplyCameraEnableSet();
            EXPECT_EQ(dialog.switchState_.singleCameraMode.load(), c.single);
            EXPECT_EQ(dialog.captureGraph_->router().singleView(), c.single);
            EXPECT_EQ(dialog.allCamerasActive(), c.allActive);
            EXPECT_EQ(dialog.Control(ids::kCyclingButton)->isEnabled(), c.cyclingButton);
        }
        auto* caption = qobject_cast<QLabel*>(dialog.Control(ids::kLargeCaption));
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->text(), "No Camera");
        // The cycling view keeps its button and one picture.
        dialog.switchState_.cyclingView = true;
        dialog.ApplyCameraEnableSet();
        EXPECT_TRUE(dialog.Control(ids::kCyclingButton)->isEnabled());
        EXPECT_TRUE(dialog.captureGraph_->router().singleView());
    };
    EXPECT_TRUE(RunThenExit(dialog, 500));
}

TEST_F(StationCapture, TheExitPathRunsOnceAndNoTimerFiresWhileItWaits) {
    AddSimulated();
    CaptureDialog dialog(context);
    int checksBefore = -1;
    dialog.duringStopRecordings = [&] {
        // A recording's file closing takes a while; the schedule timer must not run meanwhile,
        // and a second exit request finds the way taken.
        checksBefore = dialog.scheduleChecks;
        dialog.OnCommand(ids::kExitButton);
        dialog.PostMessage(ids::kWmClose, 0, 0);
        QEventLoop wait;
        QTimer::singleShot(2500, &wait, &QEventLoop::quit);
        wait.exec();
    };
    AfterLoopStarts(dialog, 1200, [&dialog] { dialog.PostMessage(ids::kWmClose, 0, 0); });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_GE(checksBefore, 1);
    EXPECT_EQ(dialog.scheduleChecks, checksBefore);
    EXPECT_EQ(dialog.switchingStops, 1);
}

TEST_F(StationCapture, ALostDeviceGreysEveryPictureUntilItIsBackAndCapturedAnew) {
    media::SimDeviceConfig config;
    config.unplugs = {{1.0, 2.0}};
    AddSimulatedDevice(std::move(config));
    CaptureDialog dialog(context);
    auto* status = qobject_cast<QLabel*>(dialog.Control(ids::kStatusText));
    ASSERT_NE(status, nullptr);
    auto marked = [&dialog](bool lost) {
        for (int i = 0; i < 4; ++i) {
            QLabel* mark = qobject_cast<QLabel*>(dialog.noSignalMarks_[i]);
            if (!mark || mark->isHidden() == lost || mark->text() != "No signal") {
                return false;
            }
        }
        return true;
    };
    const QString lost = resources->Text(320);
    TakeSteps(
        dialog,
        {{[&] { return !status->isHidden() && status->text() == lost; },
          [&] {
              EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(Qt::red));
              EXPECT_TRUE(marked(true));
              // Greyed: the mark lies over the whole picture.
              const QImage shot = dialog.views_[2]->grab().toImage();
              const QColor grey = shot.pixelColor(shot.width() / 2, shot.height() / 5);
              EXPECT_LT(std::max({grey.red(), grey.green(), grey.blue()}) -
                            std::min({grey.red(), grey.green(), grey.blue()}),
                        30);
          }},
         {[&] { return status->isHidden(); },
          [&] {
              EXPECT_TRUE(marked(false));
              // The first graph's frames were counted as it went.
              uint64_t counted = 0;
              for (const auto& frames : statistics.frames) {
                  counted += frames.load();
              }
              EXPECT_GT(counted, 0u);
          }},
         {[&] { return dialog.captureGraph_->router().grabber(1).framesReceived() > 0; }, [] {}}});
    EXPECT_TRUE(dialog.RunModal());
}

}  // namespace
