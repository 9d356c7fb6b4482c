#include "single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "folders.h"

namespace ovistra::platform {

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const QString& runtimeFolder) {
    if (fd_ >= 0) {
        return Result::Acquired;
    }
    const QByteArray path = QFile::encodeName(JoinPath(runtimeFolder, "Quorvane.lock"));
    const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Result::Failed;
    }
    // flock belongs to the open file, so a child that inherits nothing cannot keep it alive.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

}  // namespace ovistra::platform
