#include "local_clock.h"

#include <mutex>

namespace ovistra::platform {
namespace {

struct ClockState {
    std::mutex lock;
    qint64 offsetMs = 0;  // added to the system's time
    QDateTime held;       // valid: the clock stands still here
};

ClockState& State() {
    static ClockState state;
    return state;
}

}  // namespace

QDateTime LocalNow() {
    ClockState& state = State();
    std::lock_guard hold(state.lock);
    if (state.held.isValid()) {
        return state.held;
    }
    const QDateTime now = QDateTime::currentDateTime();
    return state.offsetMs == 0 ? now : now.addMSecs(state.offsetMs);
}

void StartClockAt(const QDateTime& moment) {
    ClockState& state = State();
    std::lock_guard hold(state.lock);
    state.held = QDateTime();
    state.offsetMs = QDateTime::currentDateTime().msecsTo(moment);
}

void HoldClockAt(const QDateTime& moment) {
    ClockState& state = State();
    std::lock_guard hold(state.lock);
    state.held = moment;
}

void UseSystemClock() {
    ClockState& state = State();
    std::lock_guard hold(state.lock);
    state.held = QDateTime();
    state.offsetMs = 0;
}

}  // namespace ovistra::platform
