// The timeline in the playback dialog with the real resource library and player: a click plays
// the recording under it from that moment, a click on nothing says so, and the bars follow the
// list's filter and the recordings started since.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "c_playback.h"
#include "dialog_controls.h"
#include "events_until.h"
#include "local_clock.h"
#include "message_box.h"
#include "playback_graph.h"
#include "playback_timeline.h"
#include "posted_messages.h"
#include "recording_list.h"
#include "resource_library.h"
#include "test_clip.h"

namespace ovistra {
namespace {

const QDate kListDay(2026, 12, 8);

QDateTime ListAt(int hour, int minute, int second = 0) {
    return QDateTime(kListDay, QTime(hour, minute, second));
}

class TimelineDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("OVISTRA_AUDIO_SINK", "fake", 1);
        clips = new QTemporaryDir;
        ASSERT_TRUE(testing::MakeClip(clips->filePath("clip.avi").toStdString(), 100, false));
    }
    static void TearDownTestSuite() { delete clips; }

    void SetUp() override {
        platform::HoldClockAt(ListAt(16, 0));
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless, {});
        platform::MessageBoxes::Instance().ClearHistory();
        list = std::make_unique<RecordingList>(program.path() + "/");
        AddRecording("a.avi", 2, "1", "Manual", "12:00:00", "13:10:00");  // a circular set
        AddRecording("b.avi", 0, "2", "Alarm", "14:40:00", "14:59:00");
        CPlayback::Hooks hooks;
        hooks.beingWritten = [this](const QString& path) { return path == writing; };
        hooks.alarmMarks = [] {
            return std::vector<alarms::AlarmLogEntry>{
                {alarms::AlarmLogEntry::Kind::Start, ListAt(14, 40), 2, {}, {}}};
        };
        dialog = std::make_unique<CPlayback>(*list, *resources, main.Handle(), hooks);
        timeline = dialog->timeline();
        ASSERT_TRUE(timeline);
        timeline->resize(3800, 140);  // a few seconds a pixel once zoomed
        dialog->FillList();
    }
    void TearDown() override {
        dialog.reset();
        platform::UseSystemClock();
    }

    void AddRecording(const QString& name, int lastIndex, const char* camera, const char* kind,
                      const char* start, const char* end) {
        const QString path = record.filePath(name);
        for (int i = 0; i <= lastIndex; ++i) {
            QFile::copy(clips->filePath("clip.avi"),
                        i ? QString(path).replace(".avi", QString::number(i) + ".avi") : path);
        }
        RecordInfo entry;
        entry.path = path;
        entry.camera = camera;
        entry.kind = kind;
        entry.startDate = "26/12/08";
        entry.startTime = start;
        entry.endDate = "26/12/08";
        entry.endTime = end;
        entry.lastIndex = lastIndex;
        list->entries().push_back(entry);
    }
    void Click(int camera, const QDateTime& moment) {
        QTest::mouseClick(timeline, Qt::LeftButton, {}, timeline->PointOf(camera, moment));
    }
    std::vector<int> BarCameras() const {
        std::vector<int> cameras;
        for (const alarms::TimelineBar& bar : timeline->model().bars()) {
            cameras.push_back(bar.camera);
        }
        return cameras;
    }
    QString LabelText(int id) const { return qobject_cast<QLabel*>(dialog->Control(id))->text(); }

    static QTemporaryDir* clips;
    QTemporaryDir program, record;
    std::unique_ptr<ResourceLibrary> resources;
    std::unique_ptr<RecordingList> list;
    testing::PostedMessages main;
    std::unique_ptr<CPlayback> dialog;
    PlaybackTimeline* timeline = nullptr;
    QString writing;
};

QTemporaryDir* TimelineDialogTest::clips = nullptr;

TEST_F(TimelineDialogTest, ClickingABarPlaysItsRecordingFromThatMoment) {
    EXPECT_EQ(timeline->model().day(), kListDay);  // today, with nothing playing yet
    timeline->ZoomAround(ListAt(14, 40, 30));
    Click(2, ListAt(14, 40, 2));
    ASSERT_TRUE(dialog->loaded());
    EXPECT_EQ(QFileInfo(dialog->currentFile()).fileName(), "b.avi");
    dialog->OnPause();
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Position().value_or(0) > 0.5; }));
    EXPECT_NEAR(*dialog->graph().Position(), 2.0, 1.2);

    // Forty-five minutes into a set of 30-minute files is in its second file.
    timeline->ShowDay(kListDay);
    Click(1, ListAt(12, 45));
    EXPECT_EQ(QFileInfo(dialog->currentFile()).fileName(), "a1.avi");
    auto* table = qobject_cast<QTreeWidget*>(dialog->Control(1078));
    EXPECT_EQ(table->indexOfTopLevelItem(table->currentItem()), 0);
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

TEST_F(TimelineDialogTest, ClickingWhereNothingWasRecordedSaysSoAndPlaysNothing) {
    Click(3, ListAt(13, 0));
    const QString said = LabelText(1107);
    EXPECT_TRUE(said.startsWith(resources->Text(484).arg(resources->Text(480).arg(3), QString())))
        << said.toStdString();
    const QTime told = QTime::fromString(said.right(8), "HH:mm:ss");
    EXPECT_LE(std::abs(told.secsTo(QTime(13, 0))), 60) << said.toStdString();
    EXPECT_FALSE(dialog->loaded());
    EXPECT_TRUE(platform::MessageBoxes::Instance().History().empty());
}

TEST_F(TimelineDialogTest, TheBarsFollowTheFilterTheDaysAndTheRecordingsStartedSince) {
    EXPECT_EQ(BarCameras(), (std::vector<int>{1, 2}));
    ASSERT_EQ(timeline->model().marks().size(), 1u);
    EXPECT_TRUE(LabelText(1104).contains("2026-12-08"));

    auto* cameras = qobject_cast<QComboBox*>(dialog->Control(CPlayback::kCameraList));
    cameras->setCurrentIndex(0);  // camera 1 only
    testing::ClickControl(*dialog, CPlayback::kSearchButton);
    EXPECT_EQ(BarCameras(), std::vector<int>{1});
    cameras->setCurrentIndex(cameras->count() - 1);
    testing::ClickControl(*dialog, CPlayback::kSearchButton);

    testing::ClickControl(*dialog, 1103);
    EXPECT_EQ(timeline->model().day(), kListDay.addDays(-1));
    EXPECT_TRUE(BarCameras().empty());
    testing::ClickControl(*dialog, 1105);
    EXPECT_EQ(BarCameras(), (std::vector<int>{1, 2}));

    AddRecording("c.avi", 0, "3", "Schedule", "15:00:00", RecordInfo::kRecordingEndTime);
    list->entries().back().endDate = RecordInfo::kRecordingEndDate;
    writing = list->entries().back().path;
    dialog->RecordingsChanged();
    EXPECT_EQ(BarCameras(), (std::vector<int>{1, 2, 3}));
    const alarms::TimelineBar& running = timeline->model().bars().back();
    EXPECT_TRUE(running.running);
    EXPECT_EQ(running.kind, alarms::RecordingKind::Schedule);
    EXPECT_EQ(alarms::FromWallMs(running.end), ListAt(16, 0));
}

}  // namespace
}  // namespace ovistra
