#include "playback_jump.h"

#include <algorithm>
#include <cmath>

#include "recording_files.h"

namespace ovistra {
namespace {

constexpr qint64 kSetFileSeconds = 30 * 60;

QDateTime EndOf(const RecordInfo& entry, const QDateTime& now) {
    return entry.StillRecording() ? now : ListMoment(entry.endDate, entry.endTime);
}

// The 30-minute stretch the recording's end falls in; the end itself belongs to the file that
// was being written, not to one never begun.
qint64 LastChunk(const QDateTime& start, const QDateTime& end) {
    const qint64 length = start.secsTo(end);
    return length > 0 ? (length - 1) / kSetFileSeconds : 0;
}

}  // namespace

JumpTarget LocateMoment(const RecordInfo& entry, const QDateTime& moment, const QDateTime& now) {
    const QDateTime start = ListMoment(entry.startDate, entry.startTime);
    const QDateTime end = EndOf(entry, now);
    JumpTarget target;
    if (!start.isValid() || moment < start) {
        return target;
    }
    if (!end.isValid() || moment > end) {
        target.where = JumpTarget::Where::After;
        return target;
    }
    target.where = JumpTarget::Where::Inside;
    const qint64 seconds = start.secsTo(moment);
    const qint64 setFiles = qint64{LastSetIndex(entry)} + 1;
    if (setFiles < 2) {
        target.offsetSeconds = static_cast<double>(seconds);
        return target;
    }
    const qint64 lastChunk = LastChunk(start, end);
    const qint64 chunk = std::min(seconds / kSetFileSeconds, lastChunk);
    // The file of a chunk took every later chunk a whole set further on.
    if (chunk + setFiles <= lastChunk) {
        target.where = JumpTarget::Where::RecordedOver;
        return target;
    }
    target.fileIndex = static_cast<int>(chunk % setFiles);
    target.offsetSeconds = static_cast<double>(seconds - chunk * kSetFileSeconds);
    return target;
}

QDateTime MomentInSet(const RecordInfo& entry, int fileIndex, double offsetSeconds,
                      const QDateTime& now) {
    const QDateTime start = ListMoment(entry.startDate, entry.startTime);
    if (!start.isValid()) {
        return {};
    }
    const qint64 setFiles = qint64{LastSetIndex(entry)} + 1;
    qint64 chunk = fileIndex;
    const QDateTime end = EndOf(entry, now);
    if (setFiles >= 2 && end.isValid()) {
        // The last stretch this file took, counting the passes over the set.
        const qint64 lastChunk = LastChunk(start, end);
        if (lastChunk >= fileIndex) {
            chunk = lastChunk - (lastChunk - fileIndex) % setFiles;
        }
    }
    const double seconds = static_cast<double>(chunk * kSetFileSeconds) + offsetSeconds;
    return start.addMSecs(static_cast<qint64>(std::llround(seconds * 1000.0)));
}

}  // namespace ovistra
