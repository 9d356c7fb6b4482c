#include "disk_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ovistra::platform {
namespace {

// The path itself or its nearest existing parent; empty when none exists.
QString NearestExisting(const QString& path) {
    QString probe = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe) {
            return {};
        }
        probe = parent;
    }
    return probe;
}

std::optional<dev_t> DeviceOf(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return st.st_dev;
}

}  // namespace

QString MountPointOf(const QString& path) {
    QString probe = NearestExisting(path);
    const std::optional<dev_t> device = probe.isEmpty() ? std::nullopt : DeviceOf(probe);
    if (!device) {
        return {};
    }
    // Up the parents while they are on the same file system.
    for (;;) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe || DeviceOf(parent) != device) {
            return probe;
        }
        probe = parent;
    }
}

std::optional<uint64_t> FreeBytes(const QString& path) {
    const QString probe = NearestExisting(path);
    if (probe.isEmpty()) {
        return std::nullopt;
    }
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(probe).constData(), &fs) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

}  // namespace ovistra::platform
