#include "shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace ovistra::platform {

bool ShellOpen(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool ShellExplore(const QString& folder) {
    if (!QFileInfo(folder).isDir()) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace ovistra::platform
