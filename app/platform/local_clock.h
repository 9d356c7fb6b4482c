// The station's one source of local time: the clock caption, recording names, list dates and
// times, time stamps, the schedule check and event lines all read it here. It runs at real
// speed, from a moment a run may choose (--clock); tests may hold it still and step it.
#pragma once

#include <QDateTime>

namespace ovistra::platform {

// Any thread.
QDateTime LocalNow();

// From now on the clock reads `moment` and runs on from it at real speed.
void StartClockAt(const QDateTime& moment);

// The clock reads `moment` until told otherwise (tests step it this way).
void HoldClockAt(const QDateTime& moment);

// Back to the system's local time.
void UseSystemClock();

}  // namespace ovistra::platform
