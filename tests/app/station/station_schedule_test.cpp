// The main window's schedule check on a held clock: a scheduled start restarts a hand
// recording, its end stops only what the schedule started, and a camera that is off is
// reported, not recorded.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>

#include "local_clock.h"
#include "recording_list.h"
#include "settings_store.h"
#include "sim_device.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class ScheduleDialog : public ovistra::testing::RecordingDialog {
public:
    using CQuorvaneDlg::CheckSchedules;
    using RecordingDialog::RecordingDialog;
};

class StationSchedule : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        AddSimulatedDevice();
        context.recordings = &list;
        ASSERT_TRUE(registry.CreateKey(SettingsStore::kProgramKey));
        for (const auto& [name, value] : {std::pair{"RecordPath", dir.filePath("rec")},
                                          {"ScheduleCamera", QString("6")},
                                          {"Camera2Schedule", QString("20070325143000")},
                                          {"Camera2EndSchedule", QString("20070325150000")},
                                          {"Camera3Schedule", QString("20070325143000")},
                                          {"Camera3EndSchedule", QString("20070325150000")}}) {
            ASSERT_TRUE(AddRunOverride(registry, name, value, nullptr));
        }
    }
    void TearDown() override { platform::UseSystemClock(); }

    // The clock at `moment`, then one schedule check.
    static void CheckAt(ScheduleDialog& dialog, const char* moment) {
        platform::HoldClockAt(
            QDateTime::fromString(QString::fromLatin1(moment), QStringLiteral("yyyyMMddHHmmss")));
        dialog.CheckSchedules();
    }

    RecordingList list{dir.path() + "/program/"};
};

TEST_F(StationSchedule, AStartRestartsAHandRecordingAndTheEndStopsOnlyWhatTheScheduleStarted) {
    ScheduleDialog dialog(context);
    QString status, caption;
    bool twoAfterStart = false, threeAfterStart = true, twoAfterEnd = true;
    RecordReason twoReason = RecordReason::Hand;
    dialog.onCaptureStarted = [&] {
        dialog.OnCommand(ids::kFirstCameraButton + 2);  // camera 3 off
        CheckAt(dialog, "20070325142959");
        platform::HoldClockAt(QDateTime(QDate(2007, 3, 25), QTime(14, 29, 59)));
        dialog.OnCommand(ids::kFirstRecordButton + 1);  // camera 2 by hand
        CheckAt(dialog, "20070325143000");
        twoAfterStart = dialog.recording_->IsRecording(2);
        twoReason = dialog.recording_->reason(2);
        threeAfterStart = dialog.recording_->IsRecording(3);
        status = qobject_cast<QLabel*>(dialog.Control(ids::kStatusText))->text();
        caption = qobject_cast<QLabel*>(dialog.Control(ids::kFirstCaption + 1))->text();
        CheckAt(dialog, "20070325150000");
        twoAfterEnd = dialog.recording_->IsRecording(2);
        // A hand recording runs past its camera's end.
        dialog.OnCommand(ids::kFirstRecordButton + 1);
        CheckAt(dialog, "20070325150001");
    };
    EXPECT_TRUE(RunThenExit(dialog, 300));
    EXPECT_TRUE(twoAfterStart);
    EXPECT_EQ(twoReason, RecordReason::Schedule);
    EXPECT_FALSE(threeAfterStart);
    EXPECT_EQ(status, resources->Text(164) + "  " + resources->Text(167));
    EXPECT_EQ(caption, resources->Text(155));  // camera 2, scheduled recording
    EXPECT_FALSE(twoAfterEnd);
    ASSERT_EQ(list.entries().size(), 3u);
    // By hand until 14:30:00, then by the schedule until 15:00:00, then by hand again.
    const std::vector<std::pair<QString, QString>> expected{{resources->Text(217), "14:30:00"},
                                                            {resources->Text(195), "15:00:00"},
                                                            {resources->Text(217), "15:00:01"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.entries()[i].camera, "2");
        EXPECT_EQ(list.entries()[i].kind, expected[i].first) << i;
        EXPECT_EQ(list.entries()[i].endTime, expected[i].second) << i;
    }
    EXPECT_TRUE(list.entries()[1].path.endsWith("/Camera2/070325_143000.avi"));
}

// The record disk fills while camera 2 records by hand: the schedules' starts of cameras 2
// and 3 find no room, so the hand recording runs on in its file, one box tells why, and the
// status line says the schedule failed.
TEST_F(StationSchedule, AScheduledStartWithoutRoomLeavesTheRunningRecordingAsItWas) {
    context.simulatedDiskMb = 60;
    ScheduleDialog dialog(context);
    QString fileBefore, fileAfter, status;
    RecordReason reasonAfter = RecordReason::Schedule;
    bool threeRecorded = true;
    dialog.onCaptureStarted = [&] {
        CheckAt(dialog, "20070325142959");
        dialog.OnCommand(ids::kFirstRecordButton + 1);
        fileBefore = dialog.recording_->fileName(2);
        QFile filler(dir.filePath("rec/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly) && filler.resize(40 << 20));
        CheckAt(dialog, "20070325143000");
        fileAfter = dialog.recording_->IsRecording(2) ? dialog.recording_->fileName(2) : "";
        reasonAfter = dialog.recording_->reason(2);
        threeRecorded = dialog.recording_->IsRecording(3);
        status = qobject_cast<QLabel*>(dialog.Control(ids::kStatusText))->text();
    };
    EXPECT_TRUE(RunThenExit(dialog, 300));
    EXPECT_EQ(fileAfter, fileBefore);
    EXPECT_EQ(reasonAfter, RecordReason::Hand);
    EXPECT_FALSE(threeRecorded);
    EXPECT_EQ(status, resources->Text(164) + " " + resources->Text(ids::kTextScheduledStartFailed));
    const auto& boxes = platform::MessageBoxes::Instance().History();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].textId, ids::kTextNoDiskSpace);
}

}  // namespace
