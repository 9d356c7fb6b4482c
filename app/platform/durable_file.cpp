#include "durable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace ovistra::platform {
namespace {

template <typename Sync>
bool SyncPath(const QString& path, int flags, Sync sync) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = sync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace

bool SyncFileData(const QString& path) {
    return SyncPath(path, O_RDONLY | O_NOFOLLOW, ::fdatasync);
}

bool SyncFolder(const QString& folder) {
    return SyncPath(folder, O_RDONLY | O_DIRECTORY, ::fsync);
}

bool SyncFinishedFile(const QString& path) {
    const bool data = SyncFileData(path);
    return SyncFolder(QFileInfo(path).absolutePath()) && data;
}

}  // namespace ovistra::platform
