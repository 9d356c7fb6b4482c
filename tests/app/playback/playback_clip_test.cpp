// Clips exported from the playback dialog: marks taken from the picture on screen across a
// circular set's files, the file beside the exported pictures named by the clip's start, the
// event lines, and the refusals that leave everything as it was.
#include "playback_clip.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimeEdit>

#include "c_playback.h"
#include "clip_probe.h"
#include "events_until.h"
#include "dialog_controls.h"
#include "event_log.h"
#include "message_box.h"
#include "playback_graph.h"
#include "posted_messages.h"
#include "recording_list.h"
#include "resource_library.h"

namespace ovistra {
namespace {

class PlaybackClipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("OVISTRA_AUDIO_SINK", "fake", 1);
        clips = new QTemporaryDir;
        // A key picture every second, so the player's seeks land where they are asked to.
        ASSERT_TRUE(testing::MakeRecording(clips->filePath("set.avi"), 30, 25));
    }
    static void TearDownTestSuite() { delete clips; }

    void SetUp() override {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources) << error.toStdString();
        platform::MessageBoxes::Instance().Configure(platform::MessageBoxes::Mode::Headless, {});
        platform::MessageBoxes::Instance().ClearHistory();
        EventLog::Instance().Enable([this](const QByteArray& line) {
            if (line.contains(" clip-")) {
                events << QString::fromUtf8(line);
            }
        });
        list = std::make_unique<RecordingList>(program.path() + "/");
        // Two 30-second files of a set the list times as 30-minute files from 14:00:00.
        base = record.filePath("261208_140000.avi");
        ASSERT_TRUE(QFile::copy(clips->filePath("set.avi"), base));
        ASSERT_TRUE(QFile::copy(clips->filePath("set.avi"), record.filePath("261208_1400001.avi")));
        RecordInfo entry;
        entry.path = base;
        entry.camera = "1";
        entry.kind = "Manual";
        entry.startDate = "26/12/08";
        entry.startTime = "14:00:00";
        entry.endDate = "26/12/08";
        entry.endTime = "14:35:00";
        entry.lastIndex = 1;
        list->entries().push_back(entry);
        dialog = std::make_unique<CPlayback>(*list, *resources, main.Handle(), CPlayback::Hooks{});
        dialog->FillList();
        dialog->SelectRow(0);
        ASSERT_TRUE(dialog->loaded());
    }
    void TearDown() override {
        dialog.reset();
        EventLog::Instance().Disable();
    }

    // Jumps to `moment` of the day and pauses there.
    void ShowMoment(QTime moment) {
        qobject_cast<QTimeEdit*>(dialog->Control(1094))->setTime(moment);
        testing::ClickControl(*dialog, 1016);
        testing::ClickControl(*dialog, 1050);
    }
    void Mark(int button, QTime moment) {
        ShowMoment(moment);
        testing::ClickControl(*dialog, button);
    }
    // Exports and waits for the writing to end.
    void Export() {
        testing::ClickControl(*dialog, PlaybackClip::kExportButton);
        // The button is back once the clip is written or has failed.
        auto* button = qobject_cast<QWidget*>(dialog->Control(PlaybackClip::kExportButton));
        testsupport::RunEventsUntil([button] { return button->isEnabled(); }, 10000);
    }
    std::vector<int> Shown() const {
        std::vector<int> texts;
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            texts.push_back(box.textId);
        }
        return texts;
    }
    QStringList Images() const {
        return QDir(record.filePath("image")).entryList(QDir::Files, QDir::Name);
    }

    static QTemporaryDir* clips;
    QTemporaryDir program, record;
    QString base;
    std::unique_ptr<ResourceLibrary> resources;
    std::unique_ptr<RecordingList> list;
    testing::PostedMessages main;
    std::unique_ptr<CPlayback> dialog;
    QStringList events;
};

QTemporaryDir* PlaybackClipTest::clips = nullptr;

TEST_F(PlaybackClipTest, AClipAcrossTheSetsFilesGoesBesideThePicturesNamedByItsStart) {
    Mark(PlaybackClip::kStartButton, QTime(14, 0, 25));  // 25 s into the first file
    Mark(PlaybackClip::kEndButton, QTime(14, 30, 5));    // 5 s into the second
    const QString label = qobject_cast<QLabel*>(dialog->Control(PlaybackClip::kLabel))->text();
    EXPECT_TRUE(label.contains("14:00:25") && label.contains("14:30:0")) << label.toStdString();

    Export();
    Export();  // the same clip again takes a name of its own
    ASSERT_EQ(Images(),
              (QStringList{"clip-2026-12-08_14-00-25-2.avi", "clip-2026-12-08_14-00-25.avi"}));
    const QString written = record.filePath("image/clip-2026-12-08_14-00-25.avi");
    const testing::ProbedClip probed = testing::Probe(written);
    ASSERT_TRUE(probed.read) << probed.error.toStdString();
    EXPECT_NEAR(probed.seconds, 10.0, 0.3);
    EXPECT_TRUE(probed.firstPictureIsKey);
    EXPECT_TRUE(Shown().empty());
    ASSERT_EQ(events.size(), 2);
    // Quoted only when the path holds a blank.
    EXPECT_TRUE(
        events[0].contains(QStringLiteral("clip-exported file=%1 seconds=10.").arg(written)))
        << events[0].toStdString();
    EXPECT_TRUE(qobject_cast<QLabel*>(dialog->Control(PlaybackClip::kLabel))
                    ->text()
                    .endsWith(record.filePath("image/clip-2026-12-08_14-00-25-2.avi")));
    // The recording plays on untouched.
    EXPECT_TRUE(dialog->loaded());
    EXPECT_TRUE(QFile::exists(base));
}

TEST_F(PlaybackClipTest, RefusesMissingOrReversedMarksAndADamagedFileWithoutLeavingAClip) {
    Export();  // nothing marked yet
    Mark(PlaybackClip::kStartButton, QTime(14, 0, 20));
    Mark(PlaybackClip::kEndButton, QTime(14, 0, 10));
    Export();
    Mark(PlaybackClip::kEndButton, QTime(14, 0, 28));
    dialog->OnStop();  // the file is closed before it is damaged on the disk
    QFile file(base);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(QByteArray(4096, '\0'));
    file.close();
    Export();

    EXPECT_EQ(Shown(), (std::vector<int>{500, 501, 503}));
    ASSERT_EQ(events.size(), 3);
    EXPECT_TRUE(events[0].trimmed().endsWith("clip-export-failed reason=unset"));
    EXPECT_TRUE(events[1].trimmed().endsWith("clip-export-failed reason=range"));
    EXPECT_TRUE(events[2].trimmed().endsWith("clip-export-failed reason=damaged"));
    EXPECT_TRUE(Images().isEmpty());
    EXPECT_TRUE(QFile::exists(record.filePath("261208_1400001.avi")));
}

TEST(PlanClip, FollowsASetsFilesInTheOrderTheyWereRecorded) {
    // 100 minutes into a set of three 30-minute files: file 0 was recorded over last.
    RecordInfo entry;
    entry.path = "/r/a.avi";
    entry.startDate = entry.endDate = "26/12/08";
    entry.startTime = "12:00:00";
    entry.endTime = "13:40:00";
    entry.lastIndex = 2;
    const QStringList files{"/r/a.avi", "/r/a1.avi", "/r/a2.avi"};
    const QDateTime now(QDate(2026, 12, 8), QTime(18, 0));
    auto mark = [&](int file, double seconds) {
        return ClipMark{entry.path, files[file], seconds};
    };
    struct Case {
        const char* name;
        ClipMark start, end;
        std::vector<std::pair<QString, std::pair<double, std::optional<double>>>> pieces;
    };
    const Case cases[] = {
        {"oldest into newest",
         mark(1, 100),
         mark(0, 50),
         {{files[1], {100, std::nullopt}}, {files[2], {0, std::nullopt}}, {files[0], {0, 50}}}},
        {"newest back to older", mark(0, 50), mark(2, 10), {}},
        {"one file", mark(2, 10), mark(2, 70), {{files[2], {10, 70}}}},
        {"end at the start", mark(2, 10), mark(2, 10), {}},
        {"another recording", ClipMark{"/r/b.avi", files[2], 10}, mark(2, 70), {}},
        {"a file gone", mark(1, 10), ClipMark{entry.path, "/r/a3.avi", 70}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ClipPiece> pieces = PlanClip(entry, files, c.start, c.end, now);
        ASSERT_EQ(pieces.size(), c.pieces.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].path, c.pieces[i].first);
            EXPECT_EQ(pieces[i].fromSeconds, c.pieces[i].second.first);
            EXPECT_EQ(pieces[i].toSeconds, c.pieces[i].second.second);
        }
    }
}

}  // namespace
}  // namespace ovistra
