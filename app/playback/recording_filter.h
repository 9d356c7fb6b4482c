// Which recordings the playback dialog lists: by camera, kind, a day or a moment the recording
// spans, or a range its start lies in. Dates are "%y/%m/%d" texts and times "%H:%M:%S" texts,
// compared as texts with the bounds included, as the recording list stores them.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>
#include <utility>

#include "record_info.h"

namespace ovistra {

struct RecordingFilter {
    int camera = 0;               // 1..4; 0: all cameras
    std::optional<QString> kind;  // texts 217, 194 or 195
    std::optional<QDate> day;     // start date <= day <= end date
    std::optional<QTime> moment;  // start <= moment <= end, all in hours and minutes
    std::optional<std::pair<QDate, QDate>> startDays;  // the start date between them
    // The full start time between the two "%H:%M" bounds, so a start within the upper bound's
    // minute (14:30:05 against 14:30) lies outside.
    std::optional<std::pair<QTime, QTime>> startTimes;

    bool Accepts(const RecordInfo& entry) const;
};

}  // namespace ovistra
