#include "shared_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "shared_block_reader.h"

namespace {

using ovistra::platform::SharedBlock;
using ovistra::platform::SharedBlockReader;
using Result = ovistra::platform::SharedBlockResult;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBytes = 4096 * 3;

// A name of this test alone, so parallel tests never meet in one block; removed at the end.
struct BlockName {
    ~BlockName() { shm_unlink(str.c_str()); }
    std::string str = "/ovistra-test-" + std::to_string(getpid()) + "-" + std::to_string(++count);
    static inline int count = 0;
};

// Leaves a block under the name as another program might have.
void Squat(const std::string& name, mode_t mode, const Bytes& bytes) {
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, mode), 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

// The block's stored bytes and mode bits; no bytes when the name is gone.
Bytes Contents(const std::string& name, mode_t* mode = nullptr) {
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        return {};
    }
    Bytes bytes(static_cast<std::size_t>(info.st_size));
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), info.st_size);
    close(fd);
    if (mode != nullptr) {
        *mode = info.st_mode & 07777;
    }
    return bytes;
}

bool Fill(SharedBlock& block, std::uint8_t value) {
    return block.Write([value](std::span<std::uint8_t> view) { std::ranges::fill(view, value); });
}

TEST(SharedBlock, CreatesItOwnerOnlyAndRemovesItsNameOnClose) {
    BlockName name;
    SharedBlock block(name.str, kBytes);
    const mode_t umaskBefore = umask(0277);  // would strip the owner's write bit
    ASSERT_EQ(block.Open(), Result::Created);
    umask(umaskBefore);
    ASSERT_TRUE(Fill(block, 0x5A));
    mode_t mode = 0;
    EXPECT_EQ(Contents(name.str, &mode), Bytes(kBytes, 0x5A));
    EXPECT_EQ(mode, 0600u);
    SharedBlockReader reader(name.str, kBytes);
    ASSERT_EQ(reader.Open(), Result::Reused);
    EXPECT_EQ(reader.view()[kBytes - 1], 0x5A);

    block.Close();
    EXPECT_TRUE(Contents(name.str).empty());
    EXPECT_FALSE(Fill(block, 1));
}

TEST(SharedBlock, ReusesOurLeftoverBlockAndKeepsItsViewWhenAskedAgain) {
    BlockName name;
    Squat(name.str, 0600, Bytes(kBytes, 0x11));
    {
        SharedBlock block(name.str, kBytes);
        ASSERT_EQ(block.Open(), Result::Reused);
        ASSERT_TRUE(Fill(block, 0x22));
        EXPECT_EQ(block.Open(), Result::Reused);
        EXPECT_EQ(Contents(name.str), Bytes(kBytes, 0x22));
    }
    EXPECT_TRUE(Contents(name.str).empty()) << "the destructor removes the name";
}

TEST(SharedBlock, RefusesABlockNotMadeForUsWithoutTouchingIt) {
    const struct {
        const char* what;
        mode_t mode;
        std::size_t bytes;
        uid_t owner;
        Result expected;
    } cases[] = {
        {"readable by others", 0644, kBytes, geteuid(), Result::WrongMode},
        {"read-only", 0400, kBytes, geteuid(), Result::WrongMode},
        {"one byte short", 0600, kBytes - 1, geteuid(), Result::WrongSize},
        {"larger", 0600, kBytes + 4096, geteuid(), Result::WrongSize},
        {"just created, still empty", 0600, 0, geteuid(), Result::WrongSize},
        {"another user's", 0600, kBytes, geteuid() + 1, Result::OtherOwner},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BlockName name;
        Squat(name.str, c.mode, Bytes(c.bytes, 0xC3));
        {
            SharedBlock block(name.str, kBytes, c.owner);
            EXPECT_EQ(block.Open(), c.expected);
            EXPECT_FALSE(Fill(block, 0));
            SharedBlockReader reader(name.str, kBytes, c.owner);
            EXPECT_EQ(reader.Open(), c.expected);
            EXPECT_TRUE(reader.view().empty());
        }
        EXPECT_EQ(Contents(name.str), Bytes(c.bytes, 0xC3));
    }
}

TEST(SharedBlock, CloseLeavesABlockPutInItsPlace) {
    BlockName name;
    SharedBlock block(name.str, kBytes);
    ASSERT_EQ(block.Open(), Result::Created);
    shm_unlink(name.str.c_str());
    Squat(name.str, 0600, Bytes(kBytes, 0x77));
    block.Close();
    EXPECT_EQ(Contents(name.str), Bytes(kBytes, 0x77));
}

// The link ends while the switching thread copies a picture: each copy either lands in the
// mapped view or is refused, never in unmapped memory.
TEST(SharedBlockThreads, CloseWhileAnotherThreadWrites) {
    for (int round = 0; round < 50; ++round) {
        BlockName name;
        SharedBlock block(name.str, kBytes);
        ASSERT_EQ(block.Open(), Result::Created);
        std::atomic<int> writes{0};
        std::atomic<bool> lastRefused{false};
        std::thread writer([&] {
            while (Fill(block, static_cast<std::uint8_t>(writes.load()))) {
                ++writes;
            }
            lastRefused = !Fill(block, 0);
        });
        while (writes.load() < 3) {
            std::this_thread::yield();
        }
        block.Close();
        writer.join();
        EXPECT_TRUE(lastRefused.load());
    }
}

}  // namespace
