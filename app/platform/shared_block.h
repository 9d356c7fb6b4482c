// The named block through which the station hands pictures to a sibling program: POSIX shared
// memory only our user may use. It outlives every process, so whoever maps it also removes its
// name when done.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

namespace ovistra::platform {

inline constexpr const char* kSharedBlockName = "/QUORVANE";
// The block's name for this run: OVISTRA_LINK_BLOCK when it is a plain name ("/" followed by
// letters, digits, ".", "_" or "-"), so two stations of one user, or parallel tests, need not
// share one block; otherwise kSharedBlockName.
std::string SharedBlockNameFromEnvironment();
inline constexpr std::size_t kSharedBlockBytes = 153600;

// Created and Reused come with a view; every other result leaves the block untouched.
enum class SharedBlockResult { Created, Reused, OtherOwner, WrongMode, WrongSize, Failed };

// Whether the block open on fd may be used: ours, mode 0600 and exactly blockBytes long.
// Reused when it may, otherwise why not.
SharedBlockResult CheckExistingBlock(int fd, std::size_t blockBytes, uid_t ownerUid);

class SharedBlock {
public:
    // ownerUid is the user an existing block must belong to; tests pass another one.
    explicit SharedBlock(std::string name = kSharedBlockName,
                         std::size_t blockBytes = kSharedBlockBytes, uid_t ownerUid = geteuid());
    ~SharedBlock();
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // Creates and maps the block, or maps our own block an earlier run left. Opening a mapped
    // block keeps its view and answers as the first time. UI thread.
    SharedBlockResult Open();
    // Unmaps and removes the name, unless the name now stands for a block that is not ours.
    // UI thread; waits for a writer in progress.
    void Close();
    // Runs writer on the whole view while the block is mapped; false without a view.
    // Thread-safe.
    bool Write(const std::function<void(std::span<std::uint8_t>)>& writer);

private:
    SharedBlockResult Map(int fd, SharedBlockResult opened);
    bool StillNamesOurBlock() const;

    const std::string name_;
    const std::size_t blockBytes_;
    const uid_t ownerUid_;
    SharedBlockResult opened_ = SharedBlockResult::Failed;
    // The mapped object's identity, so Close never removes a block someone put in its place.
    dev_t device_ = 0;
    ino_t inode_ = 0;

    // --- guarded by lock_ (the writer thread and the UI thread's Open/Close)
    std::mutex lock_;
    std::uint8_t* view_ = nullptr;
};

}  // namespace ovistra::platform
