#include "shared_block_reader.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <utility>

namespace ovistra::platform {

SharedBlockReader::SharedBlockReader(std::string name, std::size_t blockBytes, uid_t ownerUid)
    : name_(std::move(name)), blockBytes_(blockBytes), ownerUid_(ownerUid) {}

SharedBlockReader::~SharedBlockReader() {
    if (view_ != nullptr) {
        munmap(const_cast<std::uint8_t*>(view_), blockBytes_);
    }
}

SharedBlockResult SharedBlockReader::Open() {
    if (view_ != nullptr) {
        return SharedBlockResult::Reused;
    }
    const int fd = shm_open(name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0);
    if (fd < 0) {
        return SharedBlockResult::Failed;
    }
    const SharedBlockResult verdict = CheckExistingBlock(fd, blockBytes_, ownerUid_);
    void* view = verdict == SharedBlockResult::Reused
                     ? mmap(nullptr, blockBytes_, PROT_READ, MAP_SHARED, fd, 0)
                     : MAP_FAILED;
    close(fd);
    if (view == MAP_FAILED) {
        return verdict == SharedBlockResult::Reused ? SharedBlockResult::Failed : verdict;
    }
    view_ = static_cast<const std::uint8_t*>(view);
    return verdict;
}

}  // namespace ovistra::platform
