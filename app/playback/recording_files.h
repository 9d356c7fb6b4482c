// The files of a listed recording, and how the playback dialog names one file of a circular set.
#pragma once

#include <QString>
#include <QStringList>

#include "record_info.h"

namespace ovistra {

// The recording's first file, then the later files of its circular set ("base1.avi" ...) that
// exist, in order, never past the entry's last index; a recording still being written takes
// every follower its folder holds. Only ".avi" recordings have later files.
QStringList RecordingFiles(const RecordInfo& entry);

// The highest file number of the set: the entry's, or for a recording still being written the
// highest follower in its folder. 0 for a single file.
int32_t LastSetIndex(const RecordInfo& entry);

// "st", "nd", "rd" or "th" for the n-th file of a set, by the last decimal digit of n alone
// (the 11th file is "11st"), as the station has always named them.
QString CircularOrdinal(int n);

}  // namespace ovistra
