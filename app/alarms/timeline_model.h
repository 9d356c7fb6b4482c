// What the playback timeline shows of one day, or of an hour of it: a lane per camera with the
// recordings as bars and the alarms as marks, and the way from a point of the strip to a moment
// and to the recording covering it. Recordings are indexed by the days they touch, so moving to
// another day or hovering never walks the whole list.
#pragma once

#include <QDate>
#include <QDateTime>
#include <array>
#include <utility>
#include <vector>

#include "alarm_log_entry.h"

namespace ovistra::alarms {

// A local wall-clock moment: days since the Julian epoch times a day's milliseconds, plus the
// milliseconds of the day. The list keeps wall-clock times, and ordering them this way costs no
// time-zone look-up (a year of rows made into local date-times took a second). A day is drawn 24
// hours long, so on a clock change day its doubled hour overlaps and its skipped hour is empty.
using WallMs = qint64;
constexpr WallMs kDayMs = 24 * 60 * 60 * 1000;
constexpr WallMs kNoMoment = -1;

WallMs ToWallMs(const QDate& day, const QTime& time);  // kNoMoment when either is invalid
WallMs ToWallMs(const QDateTime& moment);
QDateTime FromWallMs(WallMs moment);

// Link recordings are listed as by hand, so they show as hand bars.
enum class RecordingKind { Hand, Schedule, Alarm };

struct TimelineEntry {
    int camera = 0;  // 1..4
    RecordingKind kind = RecordingKind::Hand;
    WallMs start = kNoMoment;
    WallMs end = kNoMoment;  // none while the recording runs: it ends "now"
    int row = -1;            // the playback list's row
};

// A recording's stretch inside the window, in milliseconds from the window's start.
struct TimelineBar {
    int camera = 0;
    RecordingKind kind = RecordingKind::Hand;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int row = -1;
    WallMs start = 0, end = 0;  // the whole recording, running ones ending "now"
    bool running = false;
};

// An alarm's start inside the window; its length when the log holds its end.
struct TimelineMark {
    int camera = 0;
    qint64 atMs = 0;
    qint64 lengthMs = -1;  // -1: no end logged
};

class TimelineModel {
public:
    static constexpr int kLanes = 4;
    static constexpr qint64 kZoomMs = 60 * 60 * 1000;

    // Entries with no start or a camera outside 1..4 are left out.
    void SetEntries(std::vector<TimelineEntry> entries, const QDateTime& now);
    void SetAlarms(const std::vector<AlarmLogEntry>& log);

    void ShowDay(const QDate& day);
    // An hour around `moment`, kept inside its day.
    void ZoomAround(const QDateTime& moment);
    bool zoomed() const { return zoomed_; }
    QDate day() const { return day_; }
    QDateTime windowStart() const { return FromWallMs(windowStart_); }
    qint64 windowMs() const { return windowMs_; }

    // The window's bars, lane after lane, each lane by start.
    const std::vector<TimelineBar>& bars() const { return bars_; }
    const std::vector<TimelineMark>& marks() const { return marks_; }

    // Mapping over a strip `width` pixels wide showing the window.
    QDateTime MomentAt(double x, double width) const;
    double XOf(const QDateTime& moment, double width) const;
    // The bar of `camera` covering the moment at `x`; the latest started wins an overlap.
    const TimelineBar* BarAt(double x, int camera, double width) const;

private:
    struct Alarm {
        int camera;
        WallMs start;
        qint64 lengthMs;
    };

    void BuildWindow();
    WallMs EndOf(const TimelineEntry& entry) const;

    std::vector<TimelineEntry> entries_;
    // (day, entry) for every day an entry touches, by day; longer spans kept apart.
    std::vector<std::pair<qint64, int>> dayIndex_;
    std::vector<int> longEntries_;
    std::vector<Alarm> alarms_;  // by start
    WallMs now_ = kNoMoment;

    QDate day_;
    bool zoomed_ = false;
    WallMs windowStart_ = kNoMoment;
    qint64 windowMs_ = 0;
    std::vector<TimelineBar> bars_;
    std::array<std::pair<size_t, size_t>, kLanes> lanes_{};  // [first, last) of bars_
    std::vector<TimelineMark> marks_;
};

}  // namespace ovistra::alarms
