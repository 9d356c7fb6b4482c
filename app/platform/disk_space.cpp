#include "disk_space.h"

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ovistra::platform {

std::optional<uint64_t> FreeBytes(const QString& path) {
    QString probe = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe) {
            return std::nullopt;
        }
        probe = parent;
    }
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(probe).constData(), &fs) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

}  // namespace ovistra::platform
