#include "shared_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace ovistra::platform {

std::string SharedBlockNameFromEnvironment() {
    const char* asked = std::getenv("OVISTRA_LINK_BLOCK");
    if (asked == nullptr) {
        return kSharedBlockName;
    }
    const std::string name(asked);
    const bool plain =
        name.size() >= 2 && name.size() <= 200 && name[0] == '/' &&
        std::all_of(name.begin() + 1, name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        });
    return plain ? name : std::string(kSharedBlockName);
}

namespace {

constexpr mode_t kBlockMode = 0600;

// Opens an existing block without following links or blocking on a FIFO put in its place;
// read-only when we may not write it, only to tell why it is refused.
int OpenExisting(const std::string& name, bool& writable) {
    int fd = shm_open(name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK, 0);
    writable = fd >= 0;
    if (fd < 0 && errno == EACCES) {
        fd = shm_open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0);
    }
    return fd;
}

}  // namespace

SharedBlockResult CheckExistingBlock(int fd, std::size_t blockBytes, uid_t ownerUid) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return SharedBlockResult::Failed;
    }
    if (info.st_uid != ownerUid) {
        return SharedBlockResult::OtherOwner;
    }
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0777) != kBlockMode) {
        return SharedBlockResult::WrongMode;
    }
    if (info.st_size < 0 || static_cast<std::size_t>(info.st_size) != blockBytes) {
        return SharedBlockResult::WrongSize;
    }
    return SharedBlockResult::Reused;
}

SharedBlock::SharedBlock(std::string name, std::size_t blockBytes, uid_t ownerUid)
    : name_(std::move(name)), blockBytes_(blockBytes), ownerUid_(ownerUid) {}

SharedBlock::~SharedBlock() {
    Close();
}

SharedBlockResult SharedBlock::Open() {
    // Only this thread sets the view, so reading it here needs no lock.
    if (view_ != nullptr) {
        return opened_;
    }
    // A second pass only when the block vanished between the two opens.
    for (int pass = 0; pass < 2; ++pass) {
        const int created = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL, kBlockMode);
        if (created >= 0) {
            // shm_open's mode passes through the umask; the sibling needs exactly 0600.
            if (fchmod(created, kBlockMode) != 0 ||
                ftruncate(created, static_cast<off_t>(blockBytes_)) != 0) {
                close(created);
                shm_unlink(name_.c_str());
                return SharedBlockResult::Failed;
            }
            return Map(created, SharedBlockResult::Created);
        }
        if (errno != EEXIST) {
            return SharedBlockResult::Failed;
        }
        bool writable = false;
        const int existing = OpenExisting(name_, writable);
        if (existing < 0) {
            if (errno == ENOENT) {
                continue;
            }
            return SharedBlockResult::Failed;
        }
        const SharedBlockResult verdict = CheckExistingBlock(existing, blockBytes_, ownerUid_);
        if (verdict != SharedBlockResult::Reused || !writable) {
            close(existing);
            return verdict == SharedBlockResult::Reused ? SharedBlockResult::Failed : verdict;
        }
        return Map(existing, SharedBlockResult::Reused);
    }
    return SharedBlockResult::Failed;
}

SharedBlockResult SharedBlock::Map(int fd, SharedBlockResult opened) {
    void* view = mmap(nullptr, blockBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    struct stat identity {};
    const bool identified = fstat(fd, &identity) == 0;
    close(fd);
    if (view == MAP_FAILED || !identified) {
        if (view != MAP_FAILED) {
            munmap(view, blockBytes_);
        }
        if (opened == SharedBlockResult::Created) {
            shm_unlink(name_.c_str());
        }
        return SharedBlockResult::Failed;
    }
    device_ = identity.st_dev;
    inode_ = identity.st_ino;
    opened_ = opened;
    std::lock_guard guard(lock_);
    view_ = static_cast<std::uint8_t*>(view);
    return opened;
}

void SharedBlock::Close() {
    {
        std::lock_guard guard(lock_);
        if (view_ == nullptr) {
            return;
        }
        munmap(view_, blockBytes_);
        view_ = nullptr;
    }
    if (StillNamesOurBlock()) {
        shm_unlink(name_.c_str());
    }
}

bool SharedBlock::StillNamesOurBlock() const {
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool same = fstat(fd, &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
    close(fd);
    return same;
}

bool SharedBlock::Write(const std::function<void(std::span<std::uint8_t>)>& writer) {
    std::lock_guard guard(lock_);
    if (view_ == nullptr) {
        return false;
    }
    writer(std::span(view_, blockBytes_));
    return true;
}

}  // namespace ovistra::platform
