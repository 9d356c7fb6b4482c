// The settings and playback dialogs from the main window: opened and closed by their buttons,
// their answers taken, each group written when its dialog is confirmed and again at exit when
// the dialog was opened.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>

#include "c_camera_set_dlg.h"
#include "c_motion_set.h"
#include "c_playback.h"
#include "dialog_controls.h"
#include "record_set_dlg.h"
#include "recording_list.h"
#include "schedule_record.h"
#include "settings_store.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class SettingsDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~SettingsDialog() override { CloseMailbox(); }
    using CQuorvaneDlg::cameraSetDlg_;
    using CQuorvaneDlg::motionSetDlg_;
    using CQuorvaneDlg::playbackDlg_;
    using CQuorvaneDlg::recordSetDlg_;
    using CQuorvaneDlg::scheduleDlg_;

protected:
    int StartCapture() override { return 0; }
};

class StationSettingsDialogs : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        RegistrySettings stored;
        stored.recordPath = dir.filePath("rec");
        stored.cameraSchedule[1] = "20070325143000";
        stored.cameraEndSchedule[1] = "20070325150000";
        stored.scheduleCamera = 2;
        SettingsStore store(registry);
        ASSERT_TRUE(store.SaveRecordSettings(stored));
        ASSERT_TRUE(store.SaveSchedules(stored));
    }
    QByteArray KeyFile() const {
        QFile file(keyFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Runs the window, does `steps` one after the other as its loop turns, then exits.
    static void Run(SettingsDialog& dialog, std::vector<std::function<void()>> steps) {
        int at = 100;
        for (auto& step : steps) {
            AfterLoopStarts(dialog, at, std::move(step));
            at += 100;
        }
        EXPECT_TRUE(RunThenExit(dialog, at));
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            ADD_FAILURE() << "message box " << box.textId;
        }
    }
};

TEST_F(StationSettingsDialogs, NothingIsWrittenAtExitWhenNeitherDialogWasOpened) {
    const QByteArray before = KeyFile();
    SettingsDialog dialog(context);
    Run(dialog, {});
    EXPECT_EQ(KeyFile(), before);
}

TEST_F(StationSettingsDialogs, AConfirmedRecordSettingTakesEffectAndIsWrittenAtExit) {
    const QString moved = dir.filePath("moved");
    SettingsDialog dialog(context);
    bool shownAfterSecondPress = true, shownAfterConfirm = true;
    Run(dialog,
        {[&] { dialog.OnCommand(ids::kRecordSetButton); },
         [&] {
             ASSERT_NE(dialog.recordSetDlg_, nullptr);
             EXPECT_TRUE(dialog.recordSetDlg_->isVisible());
             dialog.OnCommand(ids::kRecordSetButton);
             shownAfterSecondPress = dialog.recordSetDlg_->isVisible();
             dialog.OnCommand(ids::kRecordSetButton);
             qobject_cast<QLineEdit*>(dialog.recordSetDlg_->Control(CRecordSetDlg::kRecordPathEdit))
                 ->setText(moved);
             qobject_cast<QSpinBox*>(
                 dialog.recordSetDlg_->Control(CRecordSetDlg::kFrameRateEdits[0]))
                 ->setValue(12);
             dialog.recordSetDlg_->OnConfirm();
         },
         [&] {
             shownAfterConfirm = dialog.recordSetDlg_->isVisible();
             EXPECT_EQ(dialog.settings().frameRate[0], 12u);
         }});
    EXPECT_FALSE(shownAfterSecondPress);
    EXPECT_FALSE(shownAfterConfirm);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(QDir(moved + QStringLiteral("/Camera%1").arg(n)).exists()) << n;
    }
    const QByteArray key = KeyFile();
    EXPECT_TRUE(key.contains("\"RecordPath\"=\"" + moved.toUtf8() + "\"")) << key.toStdString();
    // The schedules' group was never opened and keeps its stored values.
    EXPECT_TRUE(key.contains("\"Camera2Schedule\"=\"20070325143000\"")) << key.toStdString();
}

TEST_F(StationSettingsDialogs, ACancelledScheduleChangesNothingAndAConfirmedOneIsTaken) {
    SettingsDialog dialog(context);
    uint32_t maskAfterCancel = 0;
    Run(dialog, {[&] { dialog.OnCommand(ids::kScheduleButton); },
                 [&] {
                     ASSERT_NE(dialog.scheduleDlg_, nullptr);
                     dialog.PostMessage(ids::kScheduleCancelled, 0, 0);
                 },
                 [&] {
                     maskAfterCancel = dialog.settings().scheduleCamera;
                     dialog.OnCommand(ids::kScheduleButton);
                 },
                 [&] {
                     EXPECT_TRUE(dialog.scheduleDlg_->isVisible());
                     dialog.PostMessage(ids::kScheduleConfirmed, 0, 0);
                 },
                 [&] { EXPECT_FALSE(dialog.scheduleDlg_->isVisible()); }});
    EXPECT_EQ(maskAfterCancel, 2u);
    const QByteArray key = KeyFile();
    EXPECT_TRUE(key.contains("\"Camera2EndSchedule\"=\"20070325150000\"")) << key.toStdString();
}

TEST_F(StationSettingsDialogs, EachConfirmedGroupIsOnDiskBeforeExitAndCancelWritesNothing) {
    // A run-only value stays out of the key file even when its group is written.
    ASSERT_TRUE(AddRunOverride(registry, "FrameRate2", "7", nullptr));
    SettingsDialog dialog(context);
    using ovistra::testing::ClickControl;
    struct Row {
        int openButton;
        std::function<void(int control)> click;
        int change;
        QByteArray written;
    };
    const Row rows[] = {
        {ids::kRecordSetButton, [&](int id) { ClickControl(*dialog.recordSetDlg_, id); },
         CRecordSetDlg::kCircularMode, "\"RecordMode\"=dword:00000001"},
        {ids::kScheduleButton, [&](int id) { ClickControl(*dialog.scheduleDlg_, id); }, 1057,
         "\"ScheduleCamera\"=dword:00000000"},
        {ids::kMotionSetButton, [&](int id) { ClickControl(*dialog.motionSetDlg_, id); },
         CMotionSet::kCameraBoxes[2], "\"MotionDetectCamera\"=dword:00000004"},
        {ids::kCameraSetButton, [&](int id) { ClickControl(*dialog.cameraSetDlg_, id); }, 1136,
         "\"Intervaltime\"=dword:000000fa"},
    };
    QByteArray before;
    std::vector<std::function<void()>> steps;
    for (const Row& row : rows) {
        auto changeAndAnswer = [&](int answer) {
            dialog.OnCommand(row.openButton);
            row.click(row.change);
            row.click(answer);
        };
        steps.push_back([&, changeAndAnswer] {
            before = KeyFile();
            changeAndAnswer(PostedAnswerDialog::kCancelButton);
        });
        steps.push_back([&, changeAndAnswer] {
            EXPECT_EQ(KeyFile(), before) << row.written.toStdString();
            changeAndAnswer(PostedAnswerDialog::kConfirmButton);
        });
        // Looked for while the window still runs: nothing has been written at exit yet.
        steps.push_back([&] {
            const QByteArray key = KeyFile();
            EXPECT_TRUE(key.contains(row.written)) << key.toStdString();
            EXPECT_TRUE(key.contains("\"FrameRate2\"=dword:00000002")) << key.toStdString();
        });
    }
    Run(dialog, std::move(steps));
}

TEST_F(StationSettingsDialogs, PlaybackOpensOnItsButtonAndClosesOnItsAnswerAndAtExit) {
    RecordingList recordings(context.programFolder);
    context.recordings = &recordings;
    SettingsDialog dialog(context);
    std::vector<bool> shown;
    auto note = [&] { shown.push_back(dialog.playbackDlg_ && dialog.playbackDlg_->isVisible()); };
    Run(dialog, {[&] { dialog.OnCommand(ids::kPlaybackButton); },
                 [&] {
                     note();
                     dialog.OnCommand(ids::kPlaybackButton);
                     note();
                     dialog.OnCommand(ids::kPlaybackButton);
                     note();
                     // The dialog's own close button asks the main window to close it.
                     ovistra::testing::ClickControl(*dialog.playbackDlg_, CPlayback::kCloseButton);
                 },
                 [&] {
                     note();
                     dialog.OnCommand(ids::kPlaybackButton);
                     note();
                 }});
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false, true}));
    EXPECT_FALSE(dialog.playbackDlg_->isVisible());  // closed with the station
}

}  // namespace
