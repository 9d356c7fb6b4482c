// A camera's pictures from before an alarm: kept for their span and up to their count, lent
// whole to an alarm's recording, their memory reused.
#include "pre_alarm_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

namespace pre_alarm_test {
namespace {

using ovistra::PreAlarmBuffer;
using ovistra::PreAlarmClip;
using Clock = PreAlarmBuffer::Clock;
using std::chrono::milliseconds;

constexpr size_t kFrameBytes = 614400;

// Picture `id` (0..255) is that byte throughout, taken at `zero` + 100 ms x id.
void Store(PreAlarmBuffer& buffer, Clock::time_point zero, int from, int to) {
    for (int id = from; id <= to; ++id) {
        buffer.Store(std::vector<uint8_t>(kFrameBytes, uint8_t(id)).data(),
                     zero + milliseconds(100 * id));
    }
}

// The pictures' numbers in order, -1 for a picture not whole.
std::vector<int> Ids(const PreAlarmClip& clip) {
    std::vector<int> ids;
    for (const PreAlarmClip::Picture& p : clip.pictures()) {
        const bool whole = std::all_of(p.frame, p.frame + kFrameBytes,
                                       [&p](uint8_t b) { return b == p.frame[0]; });
        ids.push_back(whole ? p.frame[0] : -1);
    }
    return ids;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> ids(size_t(to - from + 1));
    std::iota(ids.begin(), ids.end(), from);
    return ids;
}

TEST(PreAlarmBuffer, KeepsThePicturesOfItsSpanUpToItsCountEachWithItsOwnTime) {
    struct Case {
        const char* what;
        int spanMs;
        size_t maxPictures;
        int takeAtMs;  // pictures 0..19 came 100 ms apart
        std::vector<int> taken, takenAt1900;
    };
    const Case cases[] = {
        {"the span bounds", 1000, 100, 1900, Range(9, 19), {}},
        {"the count bounds", 10000, 5, 1900, Range(15, 19), {}},
        {"a picture after the moment waits", 1000, 100, 1850, Range(9, 18), {19}},
        {"a camera gone quiet has none", 1000, 100, 3000, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(c.spanMs), c.maxPictures);
        const Clock::time_point zero = Clock::now();
        Store(*buffer, zero, 0, 19);
        const PreAlarmClip clip = buffer->Take(zero + milliseconds(c.takeAtMs));
        EXPECT_EQ(Ids(clip), c.taken);
        for (const PreAlarmClip::Picture& p : clip.pictures()) {
            EXPECT_EQ(p.captured, zero + milliseconds(100 * p.frame[0]));
        }
        EXPECT_EQ(Ids(buffer->Take(zero + milliseconds(1900))), c.takenAt1900);
    }
}

TEST(PreAlarmBuffer, ReusesItsMemoryAndNeverWritesOverALentPicture) {
    auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(1000), 30);
    const Clock::time_point zero = Clock::now();
    Store(*buffer, zero, 0, 99);
    // One second at ten a second: eleven pictures, and the memory of eleven.
    EXPECT_EQ(buffer->bytesHeld(), 11 * kFrameBytes);
    {
        const PreAlarmClip clip = buffer->Take(zero + milliseconds(9900));
        Store(*buffer, zero, 100, 149);
        EXPECT_EQ(Ids(clip), Range(89, 99));
        EXPECT_EQ(buffer->bytesHeld(), 22 * kFrameBytes);
    }
    Store(*buffer, zero, 150, 249);
    EXPECT_EQ(buffer->bytesHeld(), 22 * kFrameBytes) << "the lent memory came back for reuse";
    EXPECT_EQ(Ids(buffer->Take(zero + milliseconds(24900))), Range(239, 249));
}

TEST(PreAlarmBuffer, PicturesTakenWhileTheStreamingThreadStoresAreWholeAndInOrder) {
    auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(1000), 8);
    std::atomic<bool> done = false;
    std::thread streaming([&] {
        for (int id = 0; id < 400; ++id) {
            buffer->OnPicture(std::vector<uint8_t>(kFrameBytes, uint8_t(id % 200)).data());
        }
        done = true;
    });
    int clips = 0;
    while (!done) {
        const std::vector<int> ids = Ids(buffer->Take(Clock::now()));
        for (size_t i = 0; i < ids.size(); ++i) {
            EXPECT_NE(ids[i], -1);
            EXPECT_TRUE(i == 0 || (ids[i - 1] + 1) % 200 == ids[i]);
        }
        clips += ids.empty() ? 0 : 1;
    }
    streaming.join();
    EXPECT_GT(clips, 0);
    EXPECT_LE(buffer->bytesHeld(), 8 * kFrameBytes);
}

}  // namespace
}  // namespace pre_alarm_test
