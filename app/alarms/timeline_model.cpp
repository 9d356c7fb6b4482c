#include "timeline_model.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace ovistra::alarms {
namespace {

// A recording touching more days than this is a damaged entry or a very long run; such are few
// and are looked at for every day rather than filed under each.
constexpr qint64 kMaxIndexedDays = 31;

bool ValidCamera(int camera) {
    return camera >= 1 && camera <= TimelineModel::kLanes;
}

}  // namespace

WallMs ToWallMs(const QDate& day, const QTime& time) {
    if (!day.isValid() || !time.isValid()) {
        return kNoMoment;
    }
    return day.toJulianDay() * kDayMs + time.msecsSinceStartOfDay();
}

WallMs ToWallMs(const QDateTime& moment) {
    return moment.isValid() ? ToWallMs(moment.date(), moment.time()) : kNoMoment;
}

QDateTime FromWallMs(WallMs moment) {
    if (moment < 0) {
        return {};
    }
    return QDateTime(QDate::fromJulianDay(moment / kDayMs),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(moment % kDayMs)));
}

WallMs TimelineModel::EndOf(const TimelineEntry& entry) const {
    const WallMs end = entry.end != kNoMoment ? entry.end : now_;
    // An end before the start (a clock set back) shows the start alone.
    return std::max(end, entry.start);
}

void TimelineModel::SetEntries(std::vector<TimelineEntry> entries, const QDateTime& now) {
    now_ = ToWallMs(now);
    entries_.clear();
    for (TimelineEntry& entry : entries) {
        if (entry.start != kNoMoment && ValidCamera(entry.camera)) {
            entries_.push_back(entry);
        }
    }
    dayIndex_.clear();
    longEntries_.clear();
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        const qint64 first = entries_[i].start / kDayMs;
        const qint64 last = EndOf(entries_[i]) / kDayMs;
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
    struct Line {
        WallMs when;
        const AlarmLogEntry* entry;
    };
    std::vector<Line> lines;
    lines.reserve(log.size());
    for (const AlarmLogEntry& entry : log) {
        const WallMs when = ToWallMs(entry.when);
        if (when != kNoMoment && ValidCamera(entry.camera)) {
            lines.push_back({when, &entry});
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line& a, const Line& b) { return a.when < b.when; });
    alarms_.clear();
    std::array<int, kLanes> open;
    open.fill(-1);
    for (const Line& line : lines) {
        int& openAlarm = open[static_cast<size_t>(line.entry->camera - 1)];
        if (line.entry->kind == AlarmLogEntry::Kind::Start) {
            openAlarm = static_cast<int>(alarms_.size());
            alarms_.push_back({line.entry->camera, line.when, -1});
        } else if (openAlarm >= 0) {
            Alarm& alarm = alarms_[static_cast<size_t>(openAlarm)];
            alarm.lengthMs = line.when - alarm.start;
            openAlarm = -1;
        }
    }
    BuildWindow();
}

void TimelineModel::ShowDay(const QDate& day) {
    day_ = day;
    zoomed_ = false;
    windowStart_ = ToWallMs(day, QTime(0, 0));
    windowMs_ = kDayMs;
    BuildWindow();
}

void TimelineModel::ZoomAround(const QDateTime& moment) {
    const WallMs at = ToWallMs(moment);
    if (at == kNoMoment) {
        return;
    }
    day_ = moment.date();
    zoomed_ = true;
    const WallMs dayStart = ToWallMs(day_, QTime(0, 0));
    windowStart_ = std::clamp(at - kZoomMs / 2, dayStart, dayStart + kDayMs - kZoomMs);
    windowMs_ = kZoomMs;
    BuildWindow();
}

void TimelineModel::BuildWindow() {
    bars_.clear();
    marks_.clear();
    lanes_.fill({0, 0});
    if (windowStart_ == kNoMoment) {
        return;
    }
    const WallMs windowEnd = windowStart_ + windowMs_;
    std::vector<int> touching;
    const qint64 day = windowStart_ / kDayMs;
    auto from = std::lower_bound(dayIndex_.begin(), dayIndex_.end(), std::pair(day, 0));
    for (; from != dayIndex_.end() && from->first == day; ++from) {
        touching.push_back(from->second);
    }
    touching.insert(touching.end(), longEntries_.begin(), longEntries_.end());
    for (int i : touching) {
        const TimelineEntry& entry = entries_[static_cast<size_t>(i)];
        const WallMs end = EndOf(entry);
        // A moment's recording shows even when it has no length.
        if (entry.start >= windowEnd || (end <= windowStart_ && entry.start < windowStart_)) {
            continue;
        }
        bars_.push_back({entry.camera, entry.kind, std::max<qint64>(0, entry.start - windowStart_),
                         std::min(windowMs_, end - windowStart_), entry.row, entry.start, end,
                         entry.end == kNoMoment});
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
    const auto byStart = [](const Alarm& alarm, WallMs moment) { return alarm.start < moment; };
    auto alarm = std::lower_bound(alarms_.begin(), alarms_.end(), windowStart_, byStart);
    const auto alarmEnd = std::lower_bound(alarm, alarms_.end(), windowEnd, byStart);
    for (; alarm != alarmEnd; ++alarm) {
        marks_.push_back({alarm->camera, alarm->start - windowStart_, alarm->lengthMs});
    }
}

QDateTime TimelineModel::MomentAt(double x, double width) const {
    if (windowStart_ == kNoMoment || width <= 0) {
        return {};
    }
    const double share = std::clamp(x / width, 0.0, 1.0);
    const auto ms = static_cast<qint64>(std::floor(share * static_cast<double>(windowMs_)));
    return FromWallMs(windowStart_ + std::min(ms, windowMs_ - 1));
}

double TimelineModel::XOf(const QDateTime& moment, double width) const {
    const WallMs at = ToWallMs(moment);
    if (windowStart_ == kNoMoment || at == kNoMoment) {
        return 0;
    }
    return static_cast<double>(at - windowStart_) * width / static_cast<double>(windowMs_);
}

const TimelineBar* TimelineModel::BarAt(double x, int camera, double width) const {
    const WallMs moment = ToWallMs(MomentAt(x, width));
    if (!ValidCamera(camera) || moment == kNoMoment) {
        return nullptr;
    }
    const qint64 ms = moment - windowStart_;
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
