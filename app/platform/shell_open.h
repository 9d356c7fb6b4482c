// Hands a file or a folder to the desktop's own programs (a video player, a file manager).
#pragma once

#include <QString>

namespace ovistra::platform {

// Opens a file with the program the desktop associates with it; false when none could be asked.
bool ShellOpen(const QString& path);

// Shows a folder in the desktop's file manager.
bool ShellExplore(const QString& folder);

}  // namespace ovistra::platform
