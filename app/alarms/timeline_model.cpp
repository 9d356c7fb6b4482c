#include "timeline_model.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace ovistra::alarms {
namespace {

// A recording touching more days than this is a damaged entry or a very long run; such are few
// and are looked at for every day rather than filed under each.
constexpr qint64 kMaxIndexedDays = 31;

QDateTime DayStart(const QDate& day) {
    return QDateTime(day, QTime(0, 0));
}

bool ValidCamera(int camera) {
    return camera >= 1 && camera <= TimelineModel::kLanes;
}

}  // namespace

QDateTime TimelineModel::EndOf(const TimelineEntry& entry) const {
    const QDateTime end = entry.end.isValid() ? entry.end : now_;
    // An end before the start (a clock set back) shows the start alone.
    return end.isValid() && end > entry.start ? end : entry.start;
}

void TimelineModel::SetEntries(std::vector<TimelineEntry> entries, const QDateTime& now) {
    now_ = now;
    entries_.clear();
    for (TimelineEntry& entry : entries) {
        if (entry.start.isValid() && ValidCamera(entry.camera)) {
            entries_.push_back(std::move(entry));
        }
    }
    dayIndex_.clear();
    longEntries_.clear();
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        const qint64 first = entries_[i].start.date().toJulianDay();
        const qint64 last = EndOf(entries_[i]).date().toJulianDay();
        if (last - first >= kMaxIndexedDays) {
            longEntries_.push_back(i);
            continue;
        }
        for (qint64 day = first; day <= last; ++day) {
            dayIndex_.emplace_back(day, i);
        }
    }
    std::sort(dayIndex_.begin(), dayIndex_.end());
    BuildWindow();
}

void TimelineModel::SetAlarms(const std::vector<AlarmLogEntry>& log) {
    std::vector<const AlarmLogEntry*> lines;
    for (const AlarmLogEntry& line : log) {
        if (line.when.isValid() && ValidCamera(line.camera)) {
            lines.push_back(&line);
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto* a, const auto* b) { return a->when < b->when; });
    alarms_.clear();
    std::array<int, kLanes> open;
    open.fill(-1);
    for (const AlarmLogEntry* line : lines) {
        int& openAlarm = open[static_cast<size_t>(line->camera - 1)];
        if (line->kind == AlarmLogEntry::Kind::Start) {
            openAlarm = static_cast<int>(alarms_.size());
            alarms_.push_back({line->camera, line->when, -1});
        } else if (openAlarm >= 0) {
            Alarm& alarm = alarms_[static_cast<size_t>(openAlarm)];
            alarm.lengthMs = alarm.start.msecsTo(line->when);
            openAlarm = -1;
        }
    }
    BuildWindow();
}

void TimelineModel::ShowDay(const QDate& day) {
    day_ = day;
    zoomed_ = false;
    windowStart_ = DayStart(day);
    windowMs_ = windowStart_.msecsTo(DayStart(day.addDays(1)));
    BuildWindow();
}

void TimelineModel::ZoomAround(const QDateTime& moment) {
    if (!moment.isValid()) {
        return;
    }
    day_ = moment.date();
    zoomed_ = true;
    const QDateTime dayStart = DayStart(day_);
    const QDateTime latest = DayStart(day_.addDays(1)).addMSecs(-kZoomMs);
    windowStart_ = std::clamp(moment.addMSecs(-kZoomMs / 2), dayStart, latest);
    windowMs_ = kZoomMs;
    BuildWindow();
}

void TimelineModel::BuildWindow() {
    bars_.clear();
    marks_.clear();
    if (!windowStart_.isValid() || windowMs_ <= 0) {
        lanes_.fill({0, 0});
        return;
    }
    const QDateTime windowEnd = windowStart_.addMSecs(windowMs_);
    std::vector<int> touching;
    const qint64 day = day_.toJulianDay();
    auto from = std::lower_bound(dayIndex_.begin(), dayIndex_.end(), std::pair(day, 0));
    for (; from != dayIndex_.end() && from->first == day; ++from) {
        touching.push_back(from->second);
    }
    touching.insert(touching.end(), longEntries_.begin(), longEntries_.end());
    for (int i : touching) {
        const TimelineEntry& entry = entries_[static_cast<size_t>(i)];
        const QDateTime end = EndOf(entry);
        // A moment's recording shows even when it has no length.
        if (entry.start >= windowEnd || (end <= windowStart_ && entry.start < windowStart_)) {
            continue;
        }
        const qint64 fromMs = std::max<qint64>(0, windowStart_.msecsTo(entry.start));
        const qint64 toMs = std::min(windowMs_, windowStart_.msecsTo(end));
        bars_.push_back({entry.camera, entry.kind, fromMs, toMs, entry.row, entry.start, end,
                         !entry.end.isValid()});
    }
    std::sort(bars_.begin(), bars_.end(), [](const TimelineBar& a, const TimelineBar& b) {
        return std::tie(a.camera, a.fromMs, a.row) < std::tie(b.camera, b.fromMs, b.row);
    });
    for (int lane = 0; lane < kLanes; ++lane) {
        const auto first = std::partition_point(
            bars_.begin(), bars_.end(), [lane](const TimelineBar& bar) { return bar.camera <= lane; });
        const auto last = std::partition_point(
            first, bars_.end(), [lane](const TimelineBar& bar) { return bar.camera <= lane + 1; });
        lanes_[static_cast<size_t>(lane)] = {static_cast<size_t>(first - bars_.begin()),
                                             static_cast<size_t>(last - bars_.begin())};
    }
    const auto byStart = [](const Alarm& alarm, const QDateTime& moment) {
        return alarm.start < moment;
    };
    auto alarm = std::lower_bound(alarms_.begin(), alarms_.end(), windowStart_, byStart);
    const auto alarmEnd = std::lower_bound(alarm, alarms_.end(), windowEnd, byStart);
    for (; alarm != alarmEnd; ++alarm) {
        marks_.push_back({alarm->camera, windowStart_.msecsTo(alarm->start), alarm->lengthMs});
    }
}

QDateTime TimelineModel::MomentAt(double x, double width) const {
    if (!windowStart_.isValid() || width <= 0) {
        return {};
    }
    const double share = std::clamp(x / width, 0.0, 1.0);
    const auto ms = static_cast<qint64>(std::floor(share * static_cast<double>(windowMs_)));
    return windowStart_.addMSecs(std::min(ms, windowMs_ - 1));
}

double TimelineModel::XOf(const QDateTime& moment, double width) const {
    if (!windowStart_.isValid() || windowMs_ <= 0) {
        return 0;
    }
    return static_cast<double>(windowStart_.msecsTo(moment)) * width /
           static_cast<double>(windowMs_);
}

const TimelineBar* TimelineModel::BarAt(double x, int camera, double width) const {
    const QDateTime moment = MomentAt(x, width);
    if (!ValidCamera(camera) || !moment.isValid()) {
        return nullptr;
    }
    const qint64 ms = windowStart_.msecsTo(moment);
    const auto [first, last] = lanes_[static_cast<size_t>(camera - 1)];
    const auto begin = bars_.begin() + static_cast<std::ptrdiff_t>(first);
    auto bar = std::upper_bound(begin, bars_.begin() + static_cast<std::ptrdiff_t>(last), ms,
                                [](qint64 at, const TimelineBar& b) { return at < b.fromMs; });
    // Walking back from the last bar begun by then finds the latest started that covers it.
    while (bar != begin) {
        --bar;
        if (ms < bar->toMs) {
            return &*bar;
        }
    }
    return nullptr;
}

}  // namespace ovistra::alarms
