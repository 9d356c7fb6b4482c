// What the station knows of one alarm when it starts or ends: what the alarm log records, the
// alarm command's placeholders take and the desktop notification shows.
#pragma once

#include <QDateTime>
#include <QString>

namespace ovistra::alarms {

struct AlarmFacts {
    int camera = 0;      // 1..4
    QString cameraName;  // the caption the live view shows for it
    QDateTime when;      // the station's local time of the start (or end)
    QString still;       // the alarm's saved still; empty when none could be saved
    QString recording;   // the recording the alarm started or was already writing; may be empty
};

}  // namespace ovistra::alarms
