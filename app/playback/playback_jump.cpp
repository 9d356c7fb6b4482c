#include "playback_jump.h"

#include <algorithm>

namespace ovistra {
namespace {

constexpr qint64 kSetFileSeconds = 30 * 60;

QDateTime ListMoment(const QString& date, const QString& time) {
    // Two-digit years are this century's, as the station writes them.
    const QDate day = QDate::fromString(date, QStringLiteral("yy/MM/dd")).addYears(100);
    return QDateTime(day, QTime::fromString(time, QStringLiteral("HH:mm:ss")));
}

}  // namespace

JumpTarget LocateMoment(const RecordInfo& entry, const QDateTime& moment, const QDateTime& now) {
    const QDateTime start = ListMoment(entry.startDate, entry.startTime);
    const QDateTime end = entry.StillRecording() ? now : ListMoment(entry.endDate, entry.endTime);
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
    if (entry.lastIndex < 1) {
        target.offsetSeconds = static_cast<double>(seconds);
        return target;
    }
    target.fileIndex =
        static_cast<int>(std::min<qint64>(seconds / kSetFileSeconds, entry.lastIndex));
    target.offsetSeconds = static_cast<double>(seconds - target.fileIndex * kSetFileSeconds);
    return target;
}

}  // namespace ovistra
