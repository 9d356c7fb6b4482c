// The alarm log read back line by line (damage skipped and counted, the rest kept), and written
// only by appending, through the durable writer, whatever the disk does.
#include "alarm_log.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <mutex>

#include "durable_writer.h"
#include "event_log.h"

namespace {

using ovistra::EventLog;
using ovistra::alarms::AlarmFacts;
using ovistra::alarms::AlarmLog;
using ovistra::alarms::AlarmLogEntry;
using ovistra::alarms::ReadAlarmLog;
using Kind = AlarmLogEntry::Kind;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The event lines printed while it lives, from any thread.
class EventCapture {
public:
    EventCapture() {
        EventLog::Instance().Enable([this](const QByteArray& line) {
            std::lock_guard<std::mutex> hold(lock_);
            lines_ << line;
        });
    }
    ~EventCapture() { EventLog::Instance().Disable(); }
    int Count(const QByteArray& word) const {
        std::lock_guard<std::mutex> hold(lock_);
        int count = 0;
        for (const QByteArray& line : lines_) {
            count += line.contains(" " + word + " ") ? 1 : 0;
        }
        return count;
    }

private:
    mutable std::mutex lock_;
    QList<QByteArray> lines_;
};

TEST(AlarmLogReading, DamagedLinesAreSkippedAndCountedTheRestKept) {
    struct Row {
        // Damaged: skipped and counted.
        Row(QByteArray l) : line(std::move(l)) {}
        Row(QByteArray l, Kind k, int c, QString s = {}, QString r = {})
            : line(std::move(l)),
              kept(true),
              kind(k),
              camera(c),
              still(std::move(s)),
              recording(std::move(r)) {}
        QByteArray line;  // with its line break when it has one
        bool kept = false;
        Kind kind = Kind::Start;
        int camera = 0;
        QString still;
        QString recording;
    };
    const QByteArray longPath(20000, 'a');
    static constexpr char kWithNul[] =
        "2026-12-09T18:42:00 alarm-started camera=2 still=/a\0.bmp\n";
    const Row rows[] = {
        {"2026-12-09T18:40:02 alarm-started camera=2 still=/r/image/a.bmp recording=/r/C2/b.avi\n",
         Kind::Start, 2, "/r/image/a.bmp", "/r/C2/b.avi"},
        {"2026-12-09T18:40:31 alarm-ended camera=2\n", Kind::End, 2},
        {"2026-12-09T18:41:00 alarm-started camera=4\r\n", Kind::Start, 4},
        {"2026-12-09T18:41:00 alarm-started camera=1 still=\"/my pics/\\\"x\\\"\\\\y\\n.bmp\" "
         "zone=3\n",
         Kind::Start, 1, "/my pics/\"x\"\\y\n.bmp"},
        {"\n"},  // a blank line is neither an entry nor damage
        {"2026-12-09T18:42:00 alarm-started camera=5\n"},
        {"2026-12-09T18:42:00 alarm-started camera=02\n"},
        {"2026-12-09T18:42:00 alarm-started still=/a.bmp\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 camera=3\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=\"/a.bmp\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=\"/a\\q.bmp\"\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=\"/a\"b\n"},
        {"2026-12-09T18:42:00 alarm-started  camera=2\n"},
        {"2026-12-09T18:42:00 recording-started camera=2\n"},
        {"2026-13-09T18:42:00 alarm-started camera=2\n"},
        {"2026-12-09 18:42:00 alarm-started camera=2\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=/a\x01.bmp\n"},
        {QByteArray(kWithNul, sizeof(kWithNul) - 1)},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=/\xff\xfe.bmp\n"},
        {"2026-12-09T18:42:00 alarm-started camera=2 still=" + longPath + "\n"},
        {"2026-12-09T18:43:00 alarm-ended camera=3 still=/ignored.bmp\n", Kind::End, 3},
        {"2026-12-09T18:44:00 alarm-sta"},  // cut off at the file's end
    };
    QTemporaryDir folder;
    const QString path = folder.filePath("alarms.log");
    QByteArray bytes;
    std::vector<const Row*> kept;
    int damaged = 0;
    for (const Row& row : rows) {
        bytes += row.line;
        if (row.kept) {
            kept.push_back(&row);
        } else if (row.line != "\n") {
            ++damaged;
        }
    }
    WriteAll(path, bytes);
    const auto contents = ReadAlarmLog(path);
    EXPECT_EQ(contents.skipped, damaged);
    ASSERT_EQ(contents.entries.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        const AlarmLogEntry& entry = contents.entries[i];
        SCOPED_TRACE(kept[i]->line.toStdString());
        EXPECT_EQ(entry.kind, kept[i]->kind);
        EXPECT_EQ(entry.camera, kept[i]->camera);
        EXPECT_EQ(entry.still, kept[i]->still);
        EXPECT_EQ(entry.recording, kept[i]->recording);
    }
    EXPECT_EQ(contents.entries[0].when, QDateTime(QDate(2026, 12, 9), QTime(18, 40, 2)));

    EXPECT_TRUE(ReadAlarmLog(folder.filePath("missing.log")).entries.empty());
    EXPECT_EQ(ReadAlarmLog(folder.filePath("missing.log")).skipped, 0);
}

// What the station writes, a script or the timeline reads back unchanged, however odd the paths.
TEST(AlarmLogWriting, AppendsThroughTheWriterAndNeverRewritesWhatIsThere) {
    QTemporaryDir home;
    const QString programFolder = home.filePath("program/");  // not there yet
    const QString path = QDir(programFolder).filePath("alarms.log");
    AlarmFacts start;
    start.camera = 3;
    start.when = QDateTime(QDate(2026, 12, 9), QTime(7, 5, 9));
    start.still = "/rec/image/a b \"c\"\\d\n\u00e9=.bmp";
    start.recording = "/rec/Camera3/261209_070509.avi";
    AlarmFacts end = start;
    end.when = start.when.addSecs(40);

    const EventCapture events;
    {
        ovistra::platform::DurableWriter writer;
        AlarmLog log(programFolder, &writer);
        EXPECT_EQ(log.path(), path);
        log.Started(start);
        writer.Drain();
        // A crash cut the last line; what is there stays byte for byte.
        QByteArray before = ReadAll(path);
        ASSERT_FALSE(before.isEmpty()) << "a missing program folder is made again";
        before += "2026-12-09T07:05:30 alarm-en";
        WriteAll(path, before);
        log.Ended(end);
        writer.Drain();
        EXPECT_TRUE(ReadAll(path).startsWith(before));
    }
    const auto contents = ReadAlarmLog(path);
    EXPECT_EQ(contents.skipped, 1) << ReadAll(path).toStdString();
    ASSERT_EQ(contents.entries.size(), 2u) << ReadAll(path).toStdString();
    EXPECT_EQ(contents.entries[0].kind, Kind::Start);
    EXPECT_EQ(contents.entries[0].when, start.when);
    EXPECT_EQ(contents.entries[0].camera, 3);
    EXPECT_EQ(contents.entries[0].still, start.still);
    EXPECT_EQ(contents.entries[0].recording, start.recording);
    EXPECT_EQ(contents.entries[1].kind, Kind::End);
    EXPECT_EQ(contents.entries[1].when, end.when);
    EXPECT_EQ(events.Count("alarm-log-failed"), 0);
}

TEST(AlarmLogWriting, AFileThatCannotBeWrittenIsAnEventForEveryLine) {
    QTemporaryDir home;
    // Something that is no file stands where the log belongs.
    ASSERT_TRUE(QDir(home.path()).mkpath("alarms.log/inside"));
    const EventCapture events;
    ovistra::platform::DurableWriter writer;
    AlarmLog log(home.path(), &writer);
    AlarmFacts facts;
    facts.camera = 1;
    facts.when = QDateTime::currentDateTime();
    log.Started(facts);
    log.Ended(facts);
    writer.Drain();
    EXPECT_EQ(events.Count("alarm-log-failed"), 2);
    EXPECT_TRUE(QDir(home.filePath("alarms.log/inside")).exists());
}

}  // namespace
