// When the cameras' scheduled recordings start and end. A schedule value is "%Y%m%d%H%M%S" in
// local time; it fires when the station's clock passes that second. Every second since the
// previous check is looked at, each once, so timer drift never skips a second.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

#include "reentry_guard.h"

namespace ovistra {

class ScheduleCheck {
public:
    static constexpr int kCameras = 4;
    // Seconds looked back at most; a larger jump of the clock, either way, is a new start.
    static constexpr qint64 kLongestCatchUpSeconds = 60;

    struct Schedule {
        bool active = false;
        QString start;  // "%Y%m%d%H%M%S"
        QString end;
    };

    struct Event {
        int camera;  // 1..4
        bool start;  // false: the end
        bool operator==(const Event&) const = default;
    };

    // The seconds after the last one looked at up to `now`, each once, oldest first: all of
    // them after a step of up to a minute, only `now` after a longer jump, none while the
    // clock is back before a second already looked at.
    std::vector<QDateTime> DueSeconds(const QDateTime& now);

    // The starts and ends of the active schedules in the due seconds, in time order; in one
    // second the cameras in order, each start before its end.
    std::vector<Event> Advance(const QDateTime& now,
                               const std::array<Schedule, kCameras>& schedules);

    // Held while one check's events are acted on. A check asked for meanwhile, from a loop
    // nested in them, is refused; the next check catches its seconds up.
    class Acting : public ReentryGuard {
    public:
        explicit Acting(ScheduleCheck& check) : ReentryGuard(check.acting_) {}
    };

private:
    QDateTime lastChecked_;  // to the second; invalid before the first check
    bool acting_ = false;
};

}  // namespace ovistra
