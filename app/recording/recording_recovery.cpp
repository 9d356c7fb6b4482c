#include "recording_recovery.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cmath>

#include "avi_repair.h"
#include "recording_control.h"

namespace ovistra {
namespace {

// "name.bad", else "name.bad.2", ".3", ...: an earlier one is never replaced.
void KeepAside(const QString& path) {
    QString aside = path + QStringLiteral(".bad");
    for (int n = 2; QFile::exists(aside); ++n) {
        aside = path + QStringLiteral(".bad.%1").arg(n);
    }
    QFile::rename(path, aside);
}

// The 10-minute ticks a set's last file holds, as the recorder counts them when it cuts a file:
// the nearest whole tick, at least one for a file with pictures, at most a full file's.
int TicksHeld(double seconds) {
    constexpr double kTickSeconds = RecordingControl::kRotationPeriodMs / 1000.0;
    return std::clamp(static_cast<int>(std::lround(seconds / kTickSeconds)), 1,
                      RecordingControl::kTicksPerFile);
}

QDateTime StartOf(const RecordInfo& entry) {
    return ListMoment(entry.startDate, entry.startTime);
}

}  // namespace

std::vector<RecoveredRecording> RecoverOpenRecordings(RecordingList& list) {
    using Fate = RecoveredRecording::Fate;
    using Outcome = AviRepairResult::Outcome;
    std::vector<RecoveredRecording> recovered;
    bool changed = false;
    for (RecordInfo& entry : list.entries()) {
        if (!entry.StillRecording()) {
            continue;
        }
        RecoveredRecording result;
        result.camera = entry.camera;
        result.file = entry.path;
        double seconds = 0;
        const AviRepairResult first = RepairAviFile(entry.path);
        int lastIndex = 0;
        double lastSeconds = 0;
        if (first.outcome == Outcome::Unrepairable) {
            result.why = first.why;
            if (QFile::exists(entry.path)) {
                KeepAside(entry.path);
            }
        } else if (first.TryLater()) {
            result.fate = Fate::Later;
            result.why = first.why;
        } else {
            result.fate = Fate::Repaired;
            seconds = first.seconds;
            // A circular set's followers, as far as they go on without a gap.
            for (int index = 1;; ++index) {
                const QString follower = RecordingControl::CircularFileName(entry.path, index);
                if (!QFile::exists(follower)) {
                    break;
                }
                const AviRepairResult next = RepairAviFile(follower);
                if (next.TryLater()) {
                    // The reason's byte counts in this file.
                    result.fate = Fate::Later;
                    result.file = follower;
                    result.why = next.why;
                    break;
                }
                if (next.outcome == Outcome::Unrepairable) {
                    KeepAside(follower);
                    break;
                }
                seconds += next.seconds;
                lastSeconds = next.seconds;
                lastIndex = index;
            }
        }
        if (result.fate == Fate::Later) {
            recovered.push_back(result);
            continue;
        }
        changed = true;
        result.seconds = static_cast<int>(std::lround(seconds));
        const QDateTime start = StartOf(entry);
        const QDateTime end = start.isValid() ? start.addSecs(result.seconds) : start;
        if (end.isValid()) {
            entry.endDate = end.toString(QStringLiteral("yy/MM/dd"));
            entry.endTime = end.toString(QStringLiteral("HH:mm:ss"));
        } else {
            // A start that cannot be read: the entry ends where it began.
            entry.endDate = entry.startDate;
            entry.endTime = entry.startTime;
        }
        entry.lastIndex = lastIndex;
        entry.lastFileLength = lastIndex > 0 ? TicksHeld(lastSeconds) : 0;
        recovered.push_back(result);
    }
    if (changed) {
        list.Save();
    }
    return recovered;
}

}  // namespace ovistra
