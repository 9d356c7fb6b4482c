// The sibling's side of the shared block: a read-only view of a block our user's station made.
// The station overwrites it without telling anyone, so a reader may see a picture mid-copy.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "shared_block.h"

namespace ovistra::platform {

class SharedBlockReader {
public:
    // ownerUid is the user the block must belong to; tests pass another one.
    explicit SharedBlockReader(std::string name = kSharedBlockName,
                               std::size_t blockBytes = kSharedBlockBytes,
                               uid_t ownerUid = geteuid());
    ~SharedBlockReader();
    SharedBlockReader(const SharedBlockReader&) = delete;
    SharedBlockReader& operator=(const SharedBlockReader&) = delete;

    // Maps the existing block read-only: Reused when mapped, otherwise why not. Never creates,
    // changes or removes the block.
    SharedBlockResult Open();
    // Empty until Open succeeds.
    std::span<const std::uint8_t> view() const { return {view_, view_ ? blockBytes_ : 0}; }

private:
    const std::string name_;
    const std::size_t blockBytes_;
    const uid_t ownerUid_;
    const std::uint8_t* view_ = nullptr;
};

}  // namespace ovistra::platform
