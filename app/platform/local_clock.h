// The station's one source of local time: the clock caption, recording names, list dates and
// times, time stamps and event lines all read it here.
#pragma once

#include <QDateTime>

namespace ovistra::platform {

QDateTime LocalNow();

}  // namespace ovistra::platform
