#include "recording_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QFile>
#include <QFileInfo>

#include "durable_file.h"
#include "durable_writer.h"
#include "recording_list_format.h"

namespace ovistra {
namespace {

const QString kFileName = QStringLiteral("fileinfo.dat");

// "fileinfo.dat.bad", else "fileinfo.dat.bad.2", ".3", ...: never one that exists.
QString FreeBadName(const QString& path) {
    QString candidate = path + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(candidate); ++n) {
        candidate = path + QStringLiteral(".bad.%1").arg(n);
    }
    return candidate;
}

enum class FileRead { Read, Absent, Unreadable };

// The whole file. Only a name that nothing holds is absent: a folder, a pipe, a dangling link
// or a read that fails is there but unreadable.
FileRead ReadWholeFile(const QString& path, QByteArray* bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Absent : FileRead::Unreadable;
    }
    // Not blocking: a pipe in the list's place must not hold up the start.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return FileRead::Unreadable;
    }
    FileRead result = FileRead::Unreadable;
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        char chunk[65536];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got > 0) {
                bytes->append(chunk, got);
                continue;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            // Fewer bytes than the file holds is a read that failed, not a shorter list.
            if (got == 0 && bytes->size() >= opened.st_size) {
                result = FileRead::Read;
            }
            break;
        }
    }
    ::close(fd);
    return result;
}

// Moves the file to "PATH.unreadable", else ".unreadable.2", ".3", ...: never over a name in
// use. Empty when it could not be moved.
QString MoveAside(const QString& path) {
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1;; ++n) {
        const QString candidate = path + (n == 1 ? QStringLiteral(".unreadable")
                                                 : QStringLiteral(".unreadable.%1").arg(n));
        const QByteArray to = QFile::encodeName(candidate);
        int moved =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // A file system without the no-replace rename: look before moving.
            struct stat taken {};
            if (::lstat(to.constData(), &taken) == 0) {
                errno = EEXIST;
            } else {
                moved = ::rename(from.constData(), to.constData());
            }
        }
        if (moved == 0) {
            return candidate;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
}

}  // namespace

RecordingList::RecordingList(QString programFolder) : programFolder_(std::move(programFolder)) {}

QString RecordingList::filePath() const {
    return programFolder_ + kFileName;
}

RecordingList::LoadResult RecordingList::Load() {
    LoadResult result;
    entries_.clear();
    saveRefused_ = false;
    QByteArray bytes;
    switch (ReadWholeFile(filePath(), &bytes)) {
        case FileRead::Absent:
            return result;
        case FileRead::Unreadable:
            // Its recordings may still be read another day: the new list never replaces it.
            result.unreadable = true;
            result.movedAside = MoveAside(filePath());
            saveRefused_ = result.movedAside.isEmpty();
            if (!saveRefused_) {
                platform::SyncFolder(programFolder_);
            }
            return result;
        case FileRead::Read:
            break;
    }
    ParsedRecordingList parsed = ParseRecordingList(bytes);
    entries_ = std::move(parsed.entries);
    if (parsed.damaged) {
        result.damaged = true;
        result.keptAside = FreeBadName(filePath());
        QFile::copy(filePath(), result.keptAside);
    }
    return result;
}

bool RecordingList::Save() const {
    if (saveRefused_) {
        return false;
    }
    const QByteArray bytes = SerializeRecordingList(entries_);
    if (writer_) {
        writer_->Replace(filePath(), bytes);
        return true;
    }
    return platform::ReplaceFileDurably(filePath(), bytes);
}

}  // namespace ovistra
