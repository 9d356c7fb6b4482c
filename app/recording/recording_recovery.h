// Recordings a run left open, because it ended without stopping them (killed, power lost):
// their files repaired and their entries completed at the next start.
#pragma once

#include <QString>
#include <vector>

#include "recording_list.h"

namespace ovistra {

struct RecoveredRecording {
    QString camera;
    QString file;
    bool repaired = false;  // false: nothing playable was left, the file is kept aside
    int seconds = 0;        // what the recording now holds
};

// Repairs the files of every open entry (a circular set's followers too) and completes the
// entry with the end of what was kept; a file with nothing playable is renamed to its name +
// ".bad" and its entry completed with length 0. Saves the list when anything changed.
std::vector<RecoveredRecording> RecoverOpenRecordings(RecordingList& list);

}  // namespace ovistra
