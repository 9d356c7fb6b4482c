// Recordings a run left open, because it ended without stopping them (killed, power lost):
// their files repaired and their entries completed at the next start.
#pragma once

#include <QString>
#include <vector>

#include "recording_list.h"

namespace ovistra {

struct RecoveredRecording {
    enum class Fate {
        Repaired,  // the entry is complete
        Lost,      // nothing playable was left: the file is kept aside, the entry has length 0
        Later,     // a file could not be written now, or holds what the repair does not know: the
                   // entry stays open for the next start
    };
    QString camera;
    QString file;  // the one the reason is about
    Fate fate = Fate::Lost;
    int seconds = 0;  // what the recording now holds
    QString why;      // when lost or later
};

// Repairs the files of every open entry (a circular set's followers too) and completes the
// entry with the end of what was kept; a file with nothing playable is renamed to its name +
// ".bad" and its entry completed with length 0; an entry whose files cannot be written now or
// are not understood stays open, its files untouched. A set's entry gets its highest follower
// and the 10-minute ticks that follower holds. Saves the list when anything changed.
std::vector<RecoveredRecording> RecoverOpenRecordings(RecordingList& list);

}  // namespace ovistra
