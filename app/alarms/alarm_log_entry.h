// One line of "alarms.log" in the program folder, read back: an alarm's start or its end.
#pragma once

#include <QDateTime>
#include <QString>

namespace ovistra::alarms {

struct AlarmLogEntry {
    enum class Kind { Start, End };
    Kind kind = Kind::Start;
    QDateTime when;     // local time, whole seconds
    int camera = 0;     // 1..4
    QString still;      // starts only; may be empty
    QString recording;  // starts only; may be empty
};

}  // namespace ovistra::alarms
