#include "recording_filter.h"

namespace ovistra {
namespace {

QString DateText(const QDate& date) {
    return date.toString(QStringLiteral("yy/MM/dd"));
}

QString MinuteText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm"));
}

bool Between(const QString& low, const QString& value, const QString& high) {
    return low <= value && value <= high;
}

}  // namespace

bool RecordingFilter::Accepts(const RecordInfo& entry) const {
    if (camera != 0 && entry.camera != QString::number(camera)) {
        return false;
    }
    if (kind && entry.kind != *kind) {
        return false;
    }
    if (day && !Between(entry.startDate, DateText(*day), entry.endDate)) {
        return false;
    }
    if (moment && !Between(entry.startTime.left(5), MinuteText(*moment), entry.endTime.left(5))) {
        return false;
    }
    if (startDays &&
        !Between(DateText(startDays->first), entry.startDate, DateText(startDays->second))) {
        return false;
    }
    return !startTimes ||
           Between(MinuteText(startTimes->first), entry.startTime, MinuteText(startTimes->second));
}

}  // namespace ovistra
