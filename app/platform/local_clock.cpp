#include "local_clock.h"

namespace ovistra::platform {

QDateTime LocalNow() {
    return QDateTime::currentDateTime();
}

}  // namespace ovistra::platform
