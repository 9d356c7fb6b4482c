// The main window records the simulated device's cameras: its buttons, captions and indicator
// follow the recordings, and a lost device ends every recording with its file closed.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <atomic>

#include "capture_graph.h"
#include "event_log.h"
#include "recorded_file.h"
#include "recording_list.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

// The simulated device, remembering the source element it made so a test can fail it and
// then stay away.
class UnpluggableDevice final : public media::CaptureDevice {
public:
    std::string FriendlyName() const override { return sim_->FriendlyName(); }
    GstElement* MakeSourceElement() override {
        source = sim_->MakeSourceElement();
        return source;
    }
    media::IChipProperty* ChipProperty() override { return sim_->ChipProperty(); }
    media::I2cBus* Bus() override { return sim_->Bus(); }
    media::VideoProcAmp* ProcAmp() override { return sim_->ProcAmp(); }
    media::Crossbar* CrossbarControl() override { return sim_->CrossbarControl(); }
    bool Present() const override { return !unplugged_; }

    void Unplug() {
        unplugged_ = true;
        GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "gone");
        gst_element_post_message(source,
                                 gst_message_new_error(GST_OBJECT(source), error, "unplugged"));
        g_error_free(error);
    }

    GstElement* source = nullptr;  // owned by the capture pipeline

private:
    std::shared_ptr<media::SimulatedDevice> sim_ =
        std::make_shared<media::SimulatedDevice>(media::SimDeviceConfig{});
    std::atomic<bool> unplugged_{false};
};

using ovistra::testing::RecordingDialog;

class StationRecording : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        devices.Add(media::DeviceCategory::VideoInput, device);
        context.devices = &devices;
        context.recordings = &list;
        // The key a first run makes; the run's overrides apply to it.
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        ASSERT_TRUE(AddRunOverride(registry, "RecordPath", dir.filePath("rec"), nullptr));
        ASSERT_TRUE(AddRunOverride(registry, "FrameRate2", "10", nullptr));
    }
    QString ActiveText(RecordingDialog& dialog, int id) const {
        auto* button = qobject_cast<QPushButton*>(dialog.Control(id));
        return button ? button->palette().color(QPalette::ButtonText).name() : QString();
    }
    QString LabelText(RecordingDialog& dialog, int id) const {
        auto* label = qobject_cast<QLabel*>(dialog.Control(id));
        return label ? label->text() : QString();
    }

    std::shared_ptr<UnpluggableDevice> device = std::make_shared<UnpluggableDevice>();
    RecordingList list{dir.path() + "/program/"};
};

TEST_F(StationRecording, TheRecordButtonStartsAndStopsItsCameraWithCaptionButtonAndIndicator) {
    RecordingDialog dialog(context);
    QString idleColour, recordingColour, caption, diskLabel;
    bool indicatorShown = false;
    QImage indicator;
    dialog.onCaptureStarted = [&] {
        idleColour = ActiveText(dialog, ids::kFirstRecordButton + 1);
        dialog.OnCommand(ids::kFirstRecordButton + 1);
        recordingColour = ActiveText(dialog, ids::kFirstRecordButton + 1);
        caption = LabelText(dialog, ids::kFirstCaption + 1);
        diskLabel = LabelText(dialog, ids::kDiskLabel);
        indicatorShown = !dialog.Control(ids::kRecordingIndicator)->isHidden();
        indicator = dialog.Control(ids::kRecordingIndicator)->grab().toImage();
    };
    AfterLoopStarts(dialog, 1500, [&] {
        dialog.OnCommand(ids::kFirstRecordButton + 1);
        EXPECT_FALSE(dialog.recording_->IsRecording(2));
        EXPECT_TRUE(dialog.Control(ids::kRecordingIndicator)->isHidden());
        EXPECT_EQ(ActiveText(dialog, ids::kFirstRecordButton + 1), idleColour);
        dialog.OnCommand(ids::kExitButton);
    });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_NE(recordingColour, idleColour);
    EXPECT_TRUE(indicatorShown);
    // A red badge with white text, whatever the window's colours.
    int white = 0, red = 0;
    for (int y = 0; y < indicator.height(); ++y) {
        for (int x = 0; x < indicator.width(); ++x) {
            const QColor pixel = indicator.pixelColor(x, y);
            white += pixel == Qt::white;
            red += pixel == QColor(200, 0, 0);
        }
    }
    EXPECT_GT(white, 10);
    EXPECT_GT(red, indicator.width() * indicator.height() / 2);
    EXPECT_EQ(caption, resources->Text(159));  // camera 2, recording by hand
    EXPECT_TRUE(diskLabel.startsWith(resources->Text(ids::kTextDrive))) << diskLabel.toStdString();
    ASSERT_EQ(list.entries().size(), 1u);
    const RecordInfo& entry = list.entries()[0];
    EXPECT_EQ(entry.camera, "2");
    EXPECT_FALSE(entry.StillRecording());
    const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(entry.path);
    EXPECT_NEAR(facts.fps, 10.0, 0.01);
    EXPECT_NEAR(facts.seconds, 1.5, 0.6);
}

TEST_F(StationRecording, ALostDeviceEndsEveryRecordingWithItsFileClosedAndListed) {
    RecordingDialog dialog(context);
    dialog.onCaptureStarted = [&] { dialog.OnCommand(ids::kRecordAllButton); };
    bool allBefore = false;
    AfterLoopStarts(dialog, 1000, [&] {
        allBefore = dialog.recording_->allRecording();
        device->Unplug();
    });
    AfterLoopStarts(dialog, 2500, [&] {
        EXPECT_EQ(dialog.recording_->running(), 0);
        // Nothing can be recorded without pictures.
        dialog.OnCommand(ids::kFirstRecordButton);
        EXPECT_FALSE(dialog.recording_->IsRecording(1));
        dialog.OnCommand(ids::kExitButton);
    });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_TRUE(allBefore);
    ASSERT_EQ(list.entries().size(), 4u);
    for (const RecordInfo& entry : list.entries()) {
        SCOPED_TRACE(entry.path.toStdString());
        EXPECT_FALSE(entry.StillRecording());
        const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(entry.path);
        EXPECT_EQ(facts.width, 640);
        EXPECT_GT(facts.seconds, 0.0);
    }
}

// A device without an audio interface of its own, on a machine without any sound input.
TEST_F(StationRecording, TheSoundCameraRecordingWithoutAnInputIsReportedAndShownInTheStatusLine) {
    context.audioInputs = std::make_shared<StaticAudioInputList>();
    ASSERT_TRUE(AddRunOverride(registry, "CameraAudio", "2", nullptr));
    QByteArray lines;
    EventLog::Instance().Enable([&lines](const QByteArray& line) { lines += line; });
    RecordingDialog dialog(context);
    QString status;
    dialog.onCaptureStarted = [&] {
        dialog.OnCommand(ids::kFirstRecordButton);  // camera 1 records no sound
        dialog.OnCommand(ids::kFirstRecordButton + 1);
        status = LabelText(dialog, ids::kStatusText);
    };
    TakeSteps(dialog, {{[&] { return !status.isEmpty(); }, [] {}}});
    EXPECT_TRUE(dialog.RunModal());
    EventLog::Instance().Disable();
    EXPECT_EQ(lines.count(" recording-without-sound "), 1) << lines.toStdString();
    EXPECT_TRUE(lines.contains(" recording-without-sound camera=2\n")) << lines.toStdString();
    EXPECT_TRUE(status.startsWith(resources->Text(ids::kFirstScheduleCameraText + 1)));
    EXPECT_TRUE(status.endsWith(resources->Text(ids::kTextRecordingWithoutSound)))
        << status.toStdString();
    // The recording itself goes on silent.
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(ovistra::testing::Inspect(list.entries()[1].path).audioStreams, 0);
}

TEST_F(StationRecording, RecordAllActsOnlyWhileAllFourCamerasAreShown) {
    RecordingDialog dialog(context);
    bool enabledWithThree = true;
    int runningWithThree = -1;
    dialog.onCaptureStarted = [&] {
        dialog.OnCommand(ids::kFirstCameraButton + 1);  // camera 2 off
        enabledWithThree = dialog.Control(ids::kRecordAllButton)->isEnabled();
        dialog.OnCommand(ids::kRecordAllButton);
        runningWithThree = dialog.recording_->running();
        dialog.OnCommand(ids::kFirstCameraButton + 1);
        dialog.OnCommand(ids::kRecordAllButton);
    };
    EXPECT_TRUE(RunThenExit(dialog, 500));
    EXPECT_FALSE(enabledWithThree);
    EXPECT_EQ(runningWithThree, 0);
    EXPECT_EQ(list.entries().size(), 4u);
}

}  // namespace
