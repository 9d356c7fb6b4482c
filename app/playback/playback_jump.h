// Where a moment lies in a listed recording: before it, after it, or in which file of its set
// and how far into that file. Sets are counted in 30-minute files; a single file is one file
// however long it runs.
#pragma once

#include <QDateTime>

#include "record_info.h"

namespace ovistra {

struct JumpTarget {
    enum class Where { Before, Inside, After } where = Where::Before;
    int fileIndex = 0;         // 0: the set's first file
    double offsetSeconds = 0;  // into that file
};

// The recording's start and end as the list stores them ("%y/%m/%d", "%H:%M:%S"); a recording
// still being written ends at `now`.
JumpTarget LocateMoment(const RecordInfo& entry, const QDateTime& moment, const QDateTime& now);

}  // namespace ovistra
