#include "durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace ovistra::platform {
namespace {

// Never waits at the open: a recording may go to a pipe, which would wait for a writer.
template <typename Sync>
bool SyncPath(const QString& path, int flags, mode_t kind, Sync sync) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool synced = ::fstat(fd, &st) == 0 && (st.st_mode & S_IFMT) == kind && sync(fd) == 0;
    ::close(fd);
    return synced;
}

}  // namespace

bool SyncFileData(const QString& path) {
    return SyncPath(path, O_RDONLY | O_NOFOLLOW, S_IFREG, ::fdatasync);
}

bool SyncFolder(const QString& folder) {
    return SyncPath(folder, O_RDONLY | O_DIRECTORY, S_IFDIR, ::fsync);
}

bool SyncFinishedFile(const QString& path) {
    const bool data = SyncFileData(path);
    return SyncFolder(QFileInfo(path).absolutePath()) && data;
}

}  // namespace ovistra::platform
