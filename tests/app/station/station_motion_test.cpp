// Motion detection from the main window on the simulated device: an object seen by a watched
// camera raises an alarm that records, sounds and blinks until the scene stays still; the
// motion button shows its state; the motion settings dialog is opened, answered and written.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>

#include "c_motion_set.h"
#include "c_sound_player.h"
#include "event_log.h"
#include "recording_list.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_fixture.h"
#include "zone_editor.h"

namespace {

using namespace ovistra;

class MotionDialog : public ovistra::testing::RecordingDialog {
public:
    using CQuorvaneDlg::detection_;
    using CQuorvaneDlg::motionSetDlg_;
    using CQuorvaneDlg::soundPlayer_;
    using RecordingDialog::RecordingDialog;

    // The button's face beside its label, as painted (the style shades the colour given).
    bool ButtonShows(const QColor& colour) const {
        const QImage face = Control(ids::kMotionButton)->grab().toImage();
        const QColor painted = face.pixelColor(6, face.height() / 2);
        return std::abs(painted.hue() - colour.hue()) <= 10 && painted.saturation() > 80;
    }
    bool FrameShown(int camera) const { return Control(kAlarmFrameIds[camera - 1])->isVisible(); }
    bool FrameRed(int camera) const {
        return Control(kAlarmFrameIds[camera - 1])->styleSheet().contains("#ff0000");
    }
};

class StationMotion : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        qputenv(CSoundPlayer::kSinkVariable, "fake");
        StationFixture::SetUp();
        context.recordings = &list;
        context.detectorLibrary = VIGIMOT_LIBRARY;
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        ASSERT_TRUE(AddRunOverride(registry, "RecordPath", dir.filePath("rec"), nullptr));
        QDir().mkpath(context.programFolder);
        ASSERT_TRUE(QFile::copy(ALARM_WAV, context.programFolder + "Alarm.wav"));
    }
    void StoreMotionSettings(uint32_t cameras, uint32_t senseMode, uint32_t actions) {
        RegistrySettings stored;
        stored.motionDetectCamera = cameras;
        stored.senseMode = senseMode;
        stored.detectingAction = actions;
        ASSERT_TRUE(SettingsStore(registry).SaveMotionSettings(stored));
    }
    void AddDevice(std::vector<media::SimMotionSpan> motions) {
        media::SimDeviceConfig config;
        config.motions = std::move(motions);
        AddSimulatedDevice(std::move(config));
    }

    RecordingList list{dir.path() + "/program/"};
};

TEST_F(StationMotion, AnAlarmRecordsSoundsAndBlinksUntilTheSceneStaysStill) {
    AddDevice({{2, 1.0, 2.0}});
    StoreMotionSettings(2, 50, 3);
    context.detectAtStart = true;
    MotionDialog dialog(context);
    bool recordedByAlarm = false, sounded = false, blinkedRed = false, otherAlarm = false;
    bool shownWhileRunning = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!dialog.detection_->running()) {
            return;
        }
        shownWhileRunning = dialog.FrameShown(2) && !dialog.FrameRed(1);
        recordedByAlarm |= dialog.recording_->IsRecording(2) &&
                           dialog.recording_->reason(2) == RecordReason::Alarm;
        sounded |= dialog.soundPlayer_ && dialog.soundPlayer_->playing();
        blinkedRed |= dialog.FrameRed(2);
        for (int camera : {1, 3, 4}) {
            otherAlarm |= dialog.detection_->AlarmActive(camera) || dialog.FrameRed(camera);
        }
    });
    bool redWhileRunning = false, greenAfterStop = false;
    bool alarmOverBeforeStop = false, shownAfterStop = true;
    dialog.onCaptureStarted = [&] {
        // Camera 2 alone, so it gets every frame; the others keep their last picture.
        for (int button : {1011, 1013, 1014}) {
            dialog.OnCommand(button);
        }
        watch.start(50);
    };
    ovistra::testing::StationFixture::AfterLoopStarts(dialog, 7500, [&] {
        redWhileRunning = dialog.ButtonShows(QColor(255, 0, 0));
        alarmOverBeforeStop = !dialog.detection_->AlarmActive(2) && !dialog.FrameRed(2) &&
                              !dialog.recording_->IsRecording(2) &&
                              !(dialog.soundPlayer_ && dialog.soundPlayer_->playing());
        dialog.OnCommand(ids::kMotionButton);
        greenAfterStop = dialog.ButtonShows(QColor(0, 255, 100));
        shownAfterStop = dialog.FrameShown(2);
    });
    EXPECT_TRUE(RunThenExit(dialog, 8000));
    EXPECT_TRUE(recordedByAlarm);
    EXPECT_TRUE(sounded);
    EXPECT_TRUE(blinkedRed);
    EXPECT_TRUE(shownWhileRunning);
    EXPECT_FALSE(otherAlarm);
    EXPECT_TRUE(alarmOverBeforeStop) << "an alarm ends 2.75 s after the last motion";
    EXPECT_TRUE(redWhileRunning);
    EXPECT_TRUE(greenAfterStop);
    EXPECT_FALSE(shownAfterStop);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries()[0].kind, "Alarm");
    EXPECT_EQ(list.entries()[0].camera, "2");
    EXPECT_FALSE(list.entries()[0].StillRecording());
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

// The user is away: boxes are real windows (offscreen) that nobody answers. Alarms on two
// cameras find no room to record; the first alarm's sound file is missing until it has begun.
TEST_F(StationMotion, AlarmsThatCannotRecordTellOnceWithoutWaitingAndTheirSoundComesBack) {
    AddDevice({{1, 1.0, 2.0}, {2, 3.0, 4.0}});
    StoreMotionSettings(3, 50, 3);
    context.detectAtStart = true;
    context.simulatedDiskMb = 20;
    QFile::remove(context.programFolder + "Alarm.wav");
    platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Interactive,
                                                 [this](int id) { return resources->Text(id); });
    QStringList events;
    EventLog::Instance().Enable([&events](const QByteArray& line) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        events << QString::fromUtf8(words.mid(1).join(' '));
    });
    MotionDialog dialog(context);
    bool soundedAfterReturn = false, sirenOffAtEnd = false, boxLeftOpenWithoutWaiting = false;
    bool boxWaited = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        soundedAfterReturn |= dialog.soundPlayer_ && dialog.soundPlayer_->playing();
        // A box that waits for its answer would hold up the alarm that opened it.
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxWaited = true;
            box->close();
        }
    });
    watch.start(50);
    auto ended = [&](int camera) {
        return events.contains(QStringLiteral("alarm-ended camera=%1").arg(camera));
    };
    dialog.onCaptureStarted = [&] {
        for (int button : {1013, 1014}) {  // cameras 1 and 2 share the pictures
            dialog.OnCommand(button);
        }
    };
    TakeSteps(dialog, {{[&] { return events.contains("alarm-sound-unavailable"); },
                        [&] { QFile::copy(ALARM_WAV, context.programFolder + "Alarm.wav"); }},
                       {[&] { return ended(1) && ended(2); },
                        [&] {
                            sirenOffAtEnd = !dialog.soundPlayer_->playing();
                            for (QWidget* window : QApplication::topLevelWidgets()) {
                                if (auto* box = qobject_cast<QMessageBox*>(window);
                                    box && box->isVisible()) {
                                    boxLeftOpenWithoutWaiting = !box->isModal();
                                    box->close();
                                }
                            }
                        }}});
    EXPECT_TRUE(dialog.RunModal());
    EventLog::Instance().Disable();

    // Each camera's alarm starts and ends once, never inside another of its own.
    for (int camera : {1, 2}) {
        // The start names the alarm's still after the camera.
        const QRegularExpression started(
            QStringLiteral("^alarm-started camera=%1( |$)").arg(camera));
        const QString over = QStringLiteral("alarm-ended camera=%1").arg(camera);
        EXPECT_EQ(events.filter(started).size(), 1) << camera;
        EXPECT_EQ(events.count(over), 1) << camera;
        EXPECT_LT(events.indexOf(started), events.indexOf(over)) << camera;
    }
    EXPECT_EQ(events.count("alarm-sound-unavailable"), 1);
    EXPECT_TRUE(soundedAfterReturn) << "the sound is built again at the next alarm";
    EXPECT_TRUE(sirenOffAtEnd);
    const auto& boxes = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].textId, ids::kTextNoDiskSpace);
    EXPECT_TRUE(boxLeftOpenWithoutWaiting);
    EXPECT_FALSE(boxWaited);
    EXPECT_TRUE(list.entries().empty());
}

TEST_F(StationMotion, TheMotionButtonWithoutAWatchedCameraOnlyTellsTheUser) {
    AddDevice({});
    StoreMotionSettings(16, 200, 1);
    MotionDialog dialog(context);
    ovistra::testing::StationFixture::AfterLoopStarts(
        dialog, 300, [&] { dialog.OnCommand(ids::kMotionButton); });
    EXPECT_TRUE(RunThenExit(dialog, 600));
    EXPECT_FALSE(dialog.detection_->running());
    EXPECT_FALSE(dialog.FrameShown(1));
    const auto& history = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].textId, ids::kTextNoMotionCamera);
    EXPECT_EQ(history[0].captionId, ids::kCaptionGeneral);
    EXPECT_EQ(history[0].icon, platform::MessageIcon::Information);
}

TEST_F(StationMotion, TheSettingsDialogIsToggledAnsweredAndItsGroupWrittenAtExit) {
    AddDevice({});
    StoreMotionSettings(1, 100, 7);
    MotionDialog dialog(context);
    auto check = [&](int id, bool on) {
        qobject_cast<QAbstractButton*>(dialog.motionSetDlg_->Control(id))->setChecked(on);
    };
    bool closedByButton = false;
    uint32_t camerasAfterCancel = 0;
    ovistra::testing::StationFixture::AfterLoopStarts(dialog, 200, [&] {
        dialog.OnCommand(ids::kMotionSetButton);
        check(CMotionSet::kCameraBoxes[2], true);
        dialog.OnCommand(ids::kMotionSetButton);  // closes without applying
        closedByButton = !dialog.motionSetDlg_->isVisible();
        dialog.OnCommand(ids::kMotionSetButton);
        check(CMotionSet::kCameraBoxes[3], true);
        dialog.motionSetDlg_->OnCancel();
    });
    ovistra::testing::StationFixture::AfterLoopStarts(dialog, 400, [&] {
        camerasAfterCancel = dialog.settings().motionDetectCamera;
        dialog.OnCommand(ids::kMotionSetButton);
        check(CMotionSet::kCameraBoxes[1], true);
        dialog.motionSetDlg_->OnConfirm();
    });
    EXPECT_TRUE(RunThenExit(dialog, 600));
    EXPECT_TRUE(closedByButton);
    EXPECT_EQ(camerasAfterCancel, 1u);
    EXPECT_FALSE(dialog.motionSetDlg_->isVisible());
    RegistrySettings written;
    ASSERT_TRUE(SettingsStore(registry).LoadMotionSettings(written));
    EXPECT_EQ(written.motionDetectCamera, 3u);
    EXPECT_EQ(written.senseMode, 200u);
    EXPECT_EQ(written.detectingAction, 3u);
}

TEST_F(StationMotion, ZonesDrawnOnTheLivePictureAndAutoReachTheSettings) {
    AddDevice({});
    RegistrySettings stored;
    stored.motionDetectCamera = 1;
    stored.motionZones[1] = "10,10,100,100";
    ASSERT_TRUE(SettingsStore(registry).SaveMotionSettings(stored));
    MotionDialog dialog(context);
    QColor shownAtCentre;
    ovistra::testing::StationFixture::AfterLoopStarts(dialog, 2500, [&] {
        dialog.OnCommand(ids::kMotionSetButton);
        CMotionSet& settings = *dialog.motionSetDlg_;
        settings.RefreshLive();
        auto* editor = qobject_cast<CZoneEditor*>(settings.Control(CMotionSet::kZoneEditor));
        ASSERT_TRUE(editor);
        editor->setFixedSize(320, 240);  // half size: picture point = 2 x widget point
        shownAtCentre = editor->grab().toImage().pixelColor(160, 100);
        QTest::mousePress(editor, Qt::LeftButton, {}, editor->ToWidget({100, 60}).toPoint());
        QTest::mouseMove(editor, editor->ToWidget({300, 200}).toPoint());
        QTest::mouseRelease(editor, Qt::LeftButton, {}, editor->ToWidget({300, 200}).toPoint());
        qobject_cast<QAbstractButton*>(settings.Control(CMotionSet::kSenseAuto))->setChecked(true);
        qobject_cast<QSpinBox*>(settings.Control(CMotionSet::kPreAlarmSeconds))->setValue(9);
        settings.OnConfirm();
    });
    EXPECT_TRUE(RunThenExit(dialog, 2900));
    // The simulated camera's scene, not the editor's empty dark ground.
    EXPECT_NE(shownAtCentre, QColor(20, 24, 30));
    EXPECT_EQ(dialog.settings().motionZones[0], "100,60,200,140");
    RegistrySettings written;
    ASSERT_TRUE(SettingsStore(registry).LoadMotionSettings(written));
    EXPECT_EQ(written.motionZones[0], "100,60,200,140");
    EXPECT_EQ(written.motionZones[1], "10,10,100,100");
    EXPECT_EQ(written.senseMode, 0u);
    EXPECT_EQ(written.preAlarmSeconds, 9u);
    EXPECT_TRUE(written.lightChangeReject);
}

}  // namespace
