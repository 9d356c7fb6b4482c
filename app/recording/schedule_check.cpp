#include "schedule_check.h"

namespace ovistra {
namespace {

QDateTime ToTheSecond(const QDateTime& moment) {
    QDateTime second = moment;
    second.setTime(QTime(moment.time().hour(), moment.time().minute(), moment.time().second()));
    return second;
}

}  // namespace

std::vector<QDateTime> ScheduleCheck::DueSeconds(const QDateTime& now) {
    const QDateTime second = ToTheSecond(now);
    if (!lastChecked_.isValid()) {
        lastChecked_ = second;
        return {second};
    }
    const qint64 step = lastChecked_.secsTo(second);
    if (step > kLongestCatchUpSeconds || step < -kLongestCatchUpSeconds) {
        lastChecked_ = second;
        return {second};
    }
    std::vector<QDateTime> due;
    for (qint64 i = 1; i <= step; ++i) {
        due.push_back(lastChecked_.addSecs(i));
    }
    if (step > 0) {
        lastChecked_ = second;
    }
    return due;
}

std::vector<ScheduleCheck::Event> ScheduleCheck::Advance(
    const QDateTime& now, const std::array<Schedule, kCameras>& schedules) {
    std::vector<Event> events;
    for (const QDateTime& second : DueSeconds(now)) {
        // A value that is no 14-digit moment never equals a second's own text.
        const QString text = second.toString(QStringLiteral("yyyyMMddHHmmss"));
        for (int camera = 1; camera <= kCameras; ++camera) {
            const Schedule& schedule = schedules[camera - 1];
            if (!schedule.active) {
                continue;
            }
            if (schedule.start == text) {
                events.push_back({camera, true});
            }
            if (schedule.end == text) {
                events.push_back({camera, false});
            }
        }
    }
    return events;
}

}  // namespace ovistra
