// Making what was written survive a crash of the machine, not only of the program.
#pragma once

#include <QString>

namespace ovistra::platform {

// The file's data on the disk (fdatasync); false when it cannot be opened or synced, or is no
// regular file.
bool SyncFileData(const QString& path);

// The folder's entries on the disk (fsync), so a file created or renamed in it stays found.
bool SyncFolder(const QString& folder);

// Both, for a file that has just been finished: its data, then its folder's entry.
bool SyncFinishedFile(const QString& path);

}  // namespace ovistra::platform
