// "alarms.log" in the program folder: a line for each alarm's start and end, in the event lines'
// own form, so a person can read it and a script can parse it:
//   2026-12-09T18:40:02 alarm-started camera=2 still=/rec/image/20261209-18400237.bmp recording=...
//   2026-12-09T18:40:31 alarm-ended camera=2
// The file is only ever appended to; a line that cannot be read back is skipped, never fatal.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "alarm_facts.h"
#include "alarm_log_entry.h"

namespace ovistra::platform {
class DurableWriter;
}

namespace ovistra::alarms {

class AlarmLog {
public:
    static constexpr const char* kFileName = "alarms.log";

    // `writer` null: each line is appended and synced at once, on the caller's thread.
    AlarmLog(const QString& programFolder, platform::DurableWriter* writer);

    const QString& path() const { return path_; }

    // UI thread; never waits for the disk when there is a writer. A line that cannot be
    // appended is an `alarm-log-failed` event and nothing more.
    void Started(const AlarmFacts& facts);
    void Ended(const AlarmFacts& facts);

private:
    void Append(const QByteArray& line);

    QString path_;
    platform::DurableWriter* writer_;
};

// The line of an entry, ending with '\n'.
QByteArray AlarmLogLine(const AlarmLogEntry& entry);

// Appends `line` and syncs it; a file whose last line was cut off gets its own line break
// first, and an append that fails part-way is taken back. A missing folder is created.
bool AppendAlarmLogLine(const QString& path, const QByteArray& line);

// One line without its line break; nothing when it is damaged or not an alarm's line.
std::optional<AlarmLogEntry> ParseAlarmLogLine(const QByteArray& line);

struct AlarmLogContents {
    std::vector<AlarmLogEntry> entries;  // in the file's order
    int skipped = 0;                     // damaged, cut off, over-long or unknown lines
};

// Everything readable in the file; a missing or unreadable file is empty.
AlarmLogContents ReadAlarmLog(const QString& path);

}  // namespace ovistra::alarms
