// The main window's recording steps: the recording list at start.
#include "event_log.h"
#include "quorvane_dlg.h"
#include "recording_list.h"

namespace ovistra {

void CQuorvaneDlg::LoadRecordingList() {
    if (!context_.recordings) {
        return;
    }
    const RecordingList::LoadResult loaded = context_.recordings->Load();
    if (loaded.damaged) {
        EventLog::Instance().Print(
            "list-damaged", {{"kept", loaded.keptAside},
                             {"entries", QString::number(context_.recordings->entries().size())}});
    }
}

}  // namespace ovistra
