// Where a moment lies in a listed recording: before it, after it, in which file of its set and
// how far into that file, or in footage a later pass of the set has recorded over. Sets are
// counted in 30-minute files from the start, reused in order 0..last, 0.. once the recording
// outlasts its set; a single file is one file however long it runs.
#pragma once

#include <QDateTime>

#include "record_info.h"

namespace ovistra {

struct JumpTarget {
    enum class Where { Before, Inside, After, RecordedOver } where = Where::Before;
    int fileIndex = 0;         // 0: the set's first file
    double offsetSeconds = 0;  // into that file
};

// The recording's start and end as the list stores them ("%y/%m/%d", "%H:%M:%S"); a recording
// still being written ends at `now`, and its set is as far as its folder shows.
JumpTarget LocateMoment(const RecordInfo& entry, const QDateTime& moment, const QDateTime& now);

// The way back: the clock time of the picture `offsetSeconds` into file `fileIndex` of the set,
// which holds the latest pass that wrote it. Invalid when the list's start is.
QDateTime MomentInSet(const RecordInfo& entry, int fileIndex, double offsetSeconds,
                      const QDateTime& now);

}  // namespace ovistra
