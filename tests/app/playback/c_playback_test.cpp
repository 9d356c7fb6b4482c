// The playback dialog on the offscreen platform with the real resource library and player:
// rows, a circular set played file after file, speeds and their refusal, stepping back, jumps,
// exports, deleting what plays and showing a file that is gone.
#include "c_playback.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QtEndian>
#include <cmath>

#include "dialog_controls.h"
#include "events_until.h"
#include "message_box.h"
#include "playback_graph.h"
#include "posted_messages.h"
#include "recording_list.h"
#include "resource_library.h"
#include "test_clip.h"
#include "window_ids.h"

namespace ovistra {
namespace {

class Dialog : public CPlayback {
public:
    using CPlayback::CPlayback;
    using CPlayback::OnTimer;
};

class CPlaybackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("OVISTRA_AUDIO_SINK", "fake", 1);
        clips = new QTemporaryDir;
        // Short clips keep a set's play-through quick; the long one leaves room to step back.
        ASSERT_TRUE(testing::MakeClip(Clip("short.avi"), 8, false));
        ASSERT_TRUE(testing::MakeClip(Clip("long.avi"), 100, true));
    }
    static void TearDownTestSuite() { delete clips; }
    static std::string Clip(const char* name) { return clips->filePath(name).toStdString(); }

    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless, {});
        platform::MessageBoxes::Instance().ClearHistory();
        list = std::make_unique<RecordingList>(program.path() + "/");
        AddRecording("a.avi", "short.avi", 2, "1", "Manual", "14:29:59");
        AddRecording("b.avi", "long.avi", 0, "2", "Alarm", "14:40:00");
        CPlayback::Hooks hooks;
        hooks.beingWritten = [this](const QString& path) { return path == writing; };
        hooks.pictureExported = [this](const QString& path) { exported << path; };
        dialog = std::make_unique<Dialog>(*list, *resources, main.Handle(), hooks);
        dialog->FillList();
    }
    void TearDown() override { dialog.reset(); }

    // A recording of `clip` named `name`, with `lastIndex` followers as copies of it.
    void AddRecording(const QString& name, const char* clip, int lastIndex, const char* camera,
                      const char* kind, const char* start) {
        const QString path = record.filePath(name);
        QFile::copy(QString::fromStdString(Clip(clip)), path);
        for (int i = 1; i <= lastIndex; ++i) {
            QFile::copy(path, QString(path).replace(".avi", QString::number(i) + ".avi"));
        }
        RecordInfo entry;
        entry.path = path;
        entry.camera = camera;
        entry.kind = kind;
        entry.startDate = "26/12/08";
        entry.startTime = start;
        entry.endDate = "26/12/08";
        entry.endTime = "14:59:00";
        entry.lastIndex = lastIndex;
        list->entries().push_back(entry);
    }
    std::vector<int> Shown() const {
        std::vector<int> texts;
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            texts.push_back(box.textId);
        }
        return texts;
    }
    QString LabelText(int id) const { return qobject_cast<QLabel*>(dialog->Control(id))->text(); }
    QSlider* Slider() const { return qobject_cast<QSlider*>(dialog->Control(1097)); }
    QTreeWidget* Table() const { return qobject_cast<QTreeWidget*>(dialog->Control(1078)); }

    static QTemporaryDir* clips;
    QTemporaryDir program, record;
    std::unique_ptr<ResourceLibrary> resources;
    std::unique_ptr<RecordingList> list;
    testing::PostedMessages main;
    std::unique_ptr<Dialog> dialog;
    QString writing;
    QStringList exported;
};

QTemporaryDir* CPlaybackTest::clips = nullptr;

TEST_F(CPlaybackTest, ListsTheRecordingsTheFiltersLetThroughWithTheirCount) {
    ASSERT_EQ(Table()->topLevelItemCount(), 2);
    const QTreeWidgetItem* first = Table()->topLevelItem(0);
    EXPECT_EQ(first->text(0), "a.avi");
    EXPECT_EQ(first->text(1), "1");
    EXPECT_EQ(first->text(5), "14:29:59");
    EXPECT_EQ(first->text(8), QDir(record.path()).path());
    EXPECT_TRUE(LabelText(1100).endsWith(" 2"));

    auto* kindCheck = qobject_cast<QAbstractButton*>(dialog->Control(1081));
    auto* kinds = qobject_cast<QComboBox*>(dialog->Control(1080));
    kindCheck->setChecked(true);
    kinds->setCurrentText(resources->Text(ids::kTextKindAlarm));
    testing::ClickControl(*dialog, 1013);
    ASSERT_EQ(Table()->topLevelItemCount(), 1);
    EXPECT_EQ(Table()->topLevelItem(0)->text(0), "b.avi");
    EXPECT_TRUE(LabelText(1100).endsWith(" 1"));
}

TEST_F(CPlaybackTest, ACircularSetPlaysFileAfterFileThenRestsAtTheStart) {
    dialog->SelectRow(0);
    ASSERT_TRUE(dialog->loaded());
    QStringList played{QFileInfo(dialog->currentFile()).fileName()};
    EXPECT_TRUE(LabelText(1099).contains("(The 1st circular REC file)"));
    bool toldThird = false;
    ASSERT_TRUE(testsupport::RunEventsUntil([&] {
        const QString now = QFileInfo(dialog->currentFile()).fileName();
        if (!now.isEmpty() && now != played.back()) {
            played << now;
        }
        toldThird |= LabelText(1099).contains("(The 3rd circular REC file)");
        return played.size() == 4 && !dialog->playing();
    }));
    // After the last file the set rests paused on its first.
    EXPECT_EQ(played, (QStringList{"a.avi", "a1.avi", "a2.avi", "a.avi"}));
    EXPECT_EQ(dialog->setPosition(), 0);
    EXPECT_TRUE(dialog->loaded());
    EXPECT_TRUE(toldThird);
    EXPECT_EQ(Slider()->value(), 0);
}

TEST_F(CPlaybackTest, TheClockBesideTheSliderShowsWhenThePictureOnScreenWasRecorded) {
    const QString format = "yyyy-MM-dd  HH:mm:ss";
    dialog->SelectRow(1);  // a single file from 14:40:00
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Duration().has_value(); }));
    dialog->OnPause();
    const double duration = *dialog->graph().Duration();
    Slider()->setValue(250);  // as the user drags it
    const QDateTime start(QDate(2026, 12, 8), QTime(14, 40, 0));
    EXPECT_EQ(LabelText(CPlayback::kClockLabel),
              start.addMSecs(std::llround(250 * duration * 2)).toString(format));
    // Playing on, it follows the picture.
    dialog->OnPlay();
    const QString later = start.addSecs(3).toString(format);
    EXPECT_TRUE(testsupport::RunEventsUntil([&] { return LabelText(CPlayback::kClockLabel) == later; }))
        << LabelText(CPlayback::kClockLabel).toStdString();

    // The second file of a set started at 14:29:59 holds its second 30 minutes.
    dialog->SelectRow(0);
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->currentFile().endsWith("a1.avi"); }));
    dialog->OnPause();
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Position().has_value(); }));
    dialog->OnTimer(CPlayback::kPositionTimer);
    EXPECT_EQ(LabelText(CPlayback::kClockLabel), "2026-12-08  14:59:59");
    dialog->OnStop();
    EXPECT_TRUE(LabelText(CPlayback::kClockLabel).isEmpty());
}

TEST_F(CPlaybackTest, FastAndSlowCycleTheirRatesAndLabels) {
    dialog->SelectRow(1);
    ASSERT_TRUE(dialog->loaded());
    const struct {
        void (CPlayback::*press)();
        double rate;
        const char* label;
    } steps[] = {
        {&CPlayback::OnFast, 2, "2x"},
        {&CPlayback::OnNextFast, 3, "3x"},
        {&CPlayback::OnNextFast, 4, "4x"},
        {&CPlayback::OnNextFast, 1, ""},
        {&CPlayback::OnSlow, 0.5, "1/2x"},
        {&CPlayback::OnNextSlow, 1.0 / 3, "1/3x"},
        {&CPlayback::OnNextSlow, 0.25, "1/4x"},
        {&CPlayback::OnNextSlow, 1, ""},
        {&CPlayback::OnPlay, 1, ""},
    };
    for (const auto& step : steps) {
        (dialog.get()->*step.press)();
        EXPECT_DOUBLE_EQ(dialog->rate(), step.rate) << step.label;
        const QWidget* label = dialog->Control(1098);
        EXPECT_EQ(label->isHidden() ? QString() : LabelText(1098), step.label);
    }
    EXPECT_TRUE(Shown().empty());
}

TEST_F(CPlaybackTest, ReverseStepsBackOnEachTickAndStopsAtTheStart) {
    dialog->SelectRow(1);
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Duration().has_value(); }));
    dialog->OnPause();
    Slider()->setValue(6);  // as the user drags it: a seek
    dialog->OnReverse();
    EXPECT_EQ(LabelText(1098), "<-1x");
    EXPECT_FALSE(dialog->playing());
    std::vector<int> places;
    for (int tick = 0; tick < 8; ++tick) {
        dialog->OnTimer(CPlayback::kReverseTimer);
        places.push_back(Slider()->value());
    }
    EXPECT_EQ(places, (std::vector<int>{5, 4, 3, 2, 1, 0, 0, 0}));
    dialog->OnNextReverse();
    EXPECT_EQ(LabelText(1098), "<-2x");
    dialog->OnReverse();  // pressed again: a new start, not a step further
    EXPECT_EQ(LabelText(1098), "<-1x");
}

TEST_F(CPlaybackTest, JumpsInsideTheRecordingAndToldWhenOutside) {
    dialog->SelectRow(1);
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Duration().has_value(); }));
    auto* day = qobject_cast<QDateEdit*>(dialog->Control(1093));
    auto* moment = qobject_cast<QTimeEdit*>(dialog->Control(1094));
    EXPECT_EQ(day->date(), QDate(2026, 12, 8));  // the row's start
    EXPECT_EQ(moment->time(), QTime(14, 40, 0));
    moment->setTime(QTime(14, 39, 0));
    dialog->OnJump();
    moment->setTime(QTime(15, 0, 0));
    dialog->OnJump();
    EXPECT_EQ(Shown(), (std::vector<int>{128, 129}));
    moment->setTime(QTime(14, 40, 2));
    dialog->OnJump();
    dialog->OnPause();
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->graph().Position().value_or(0) > 1.0; }));
    EXPECT_EQ(Shown().size(), 2u);
}

TEST_F(CPlaybackTest, ExportsWithinOneSecondDifferInTheCounterAndReachTheBrowser) {
    dialog->SelectRow(1);
    ASSERT_TRUE(dialog->loaded());
    dialog->OnPause();
    dialog->OnExport();
    dialog->OnExport();
    ASSERT_EQ(exported.size(), 2);
    EXPECT_NE(exported[0], exported[1]);
    EXPECT_EQ(QFileInfo(exported[0]).dir().path(), record.filePath("image"));
    EXPECT_EQ(exported[0].chopped(5), exported[1].chopped(5).left(exported[0].size() - 5));
    QFile picture(exported[0]);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    const QByteArray bytes = picture.readAll();
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 2), quint32(bytes.size()));
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 10), 54u);
    EXPECT_EQ(bytes.size(), 54 + 640 * 480 * 3);
}

TEST_F(CPlaybackTest, DeletingTheRecordingThatPlaysStopsItFirstAndKeepsOneBeingWritten) {
    dialog->SelectRow(0);
    ASSERT_TRUE(testsupport::RunEventsUntil([&] { return dialog->setPosition() == 1; }));  // a follower plays
    writing = list->entries()[1].path;
    Table()->selectAll();
    dialog->OnDelete();
    EXPECT_FALSE(dialog->loaded());
    EXPECT_EQ(QDir(record.path()).entryList(QDir::Files), QStringList{"b.avi"});
    ASSERT_EQ(Table()->topLevelItemCount(), 1);
    EXPECT_EQ(list->entries().size(), 1u);
    EXPECT_EQ(Shown(), std::vector<int>{236});
    Table()->clearSelection();
    dialog->OnDelete();
    EXPECT_EQ(Shown(), (std::vector<int>{236, 125}));
}

TEST_F(CPlaybackTest, ShowingAFileThatIsGoneForgetsItsRowAndLeavesTheSet) {
    QFile::remove(list->entries()[0].path);
    Table()->topLevelItem(0)->setSelected(true);
    dialog->OnShowFolder();
    EXPECT_EQ(Shown(), std::vector<int>{127});
    EXPECT_EQ(Table()->topLevelItemCount(), 1);
    EXPECT_EQ(list->entries().size(), 1u);
    EXPECT_TRUE(QFile::exists(record.filePath("a1.avi")));
    EXPECT_TRUE(LabelText(1100).endsWith(" 1"));
}

TEST_F(CPlaybackTest, ADamagedFileDoubleClickedIsToldOnceAndLeavesNothingOpen) {
    QFile damaged(list->entries()[1].path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    // What a double click emits: its first click, then the activation.
    emit Table()->itemClicked(Table()->topLevelItem(1), 0);
    emit Table()->itemActivated(Table()->topLevelItem(1), 0);
    EXPECT_FALSE(dialog->loaded());
    EXPECT_EQ(Shown(), std::vector<int>{143});
    emit Table()->itemActivated(Table()->topLevelItem(0), 0);  // Enter on a row
    EXPECT_TRUE(dialog->playing());
}

TEST_F(CPlaybackTest, ASetListedWhileItRanIsJumpedInAndDeletedAsItEnded) {
    // Listed while it was being written, with only its first follower yet.
    AddRecording("c.avi", "short.avi", 1, "3", "Manual", "12:00:00");
    RecordInfo& set = list->entries().back();
    set.endDate = RecordInfo::kRecordingEndDate;
    set.endTime = RecordInfo::kRecordingEndTime;
    set.lastIndex = 0;
    writing = set.path;
    dialog->FillList();
    // It went on over its first files again and stopped; nobody refreshed the rows.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Clip("short.avi")), record.filePath("c2.avi")));
    set.endTime = "14:10:00";
    set.endDate = "26/12/08";
    set.lastIndex = 2;
    writing.clear();
    dialog->SelectRow(2);
    auto* moment = qobject_cast<QTimeEdit*>(dialog->Control(1094));
    moment->setTime(QTime(14, 5, 0));
    dialog->OnJump();
    EXPECT_EQ(QFileInfo(dialog->currentFile()).fileName(), "c1.avi");
    moment->setTime(QTime(12, 10, 0));  // its first pass, recorded over
    dialog->OnJump();
    EXPECT_EQ(Shown(), std::vector<int>{330});
    Table()->topLevelItem(2)->setSelected(true);
    dialog->OnDelete();
    EXPECT_FALSE(dialog->loaded());
    EXPECT_EQ(QDir(record.path()).entryList({"c*"}, QDir::Files), QStringList{});
    EXPECT_EQ(list->entries().size(), 2u);
    EXPECT_EQ(LabelText(1100), resources->Text(137) + " 2");
}

TEST_F(CPlaybackTest, ARecordingStartedWhileOpenIsListedAndARefusedDeleteLeavesPlaybackAlone) {
    AddRecording("c.avi", "long.avi", 0, "3", "Manual", "15:00:00");
    list->entries().back().endDate = RecordInfo::kRecordingEndDate;
    writing = list->entries().back().path;
    Table()->topLevelItem(1)->setSelected(true);
    dialog->RecordingsChanged();  // as the main window tells it
    ASSERT_EQ(Table()->topLevelItemCount(), 3);
    EXPECT_TRUE(LabelText(1100).endsWith(" 3"));
    EXPECT_TRUE(Table()->topLevelItem(1)->isSelected());
    dialog->SelectRow(2);
    Table()->clearSelection();
    Table()->topLevelItem(2)->setSelected(true);
    dialog->OnDelete();
    EXPECT_EQ(Shown(), std::vector<int>{236});
    EXPECT_TRUE(dialog->playing());
    EXPECT_EQ(dialog->currentFile(), writing);
    EXPECT_EQ(Table()->topLevelItemCount(), 3);
}

TEST_F(CPlaybackTest, CloseStopsPlayingAndAsksTheMainWindowToCloseTheDialog) {
    dialog->SelectRow(1);
    testing::ClickControl(*dialog, 1019);
    EXPECT_FALSE(dialog->loaded());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(main.messages, std::vector<uint32_t>{ids::kPlaybackToggle});
}

}  // namespace
}  // namespace ovistra
