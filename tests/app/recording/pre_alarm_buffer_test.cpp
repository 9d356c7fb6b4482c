// A camera's pictures from before an alarm: kept for their span and up to their count, lent
// whole to an alarm's recording, their memory reused; only watched cameras keep any.
#include "pre_alarm_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "frame_router.h"
#include "pre_alarm_cameras.h"

namespace pre_alarm_test {
namespace {

using ovistra::PreAlarmBuffer;
using ovistra::PreAlarmCameras;
using ovistra::PreAlarmClip;
using Clock = PreAlarmBuffer::Clock;
using std::chrono::milliseconds;

constexpr size_t kFrameBytes = 614400;

std::vector<uint8_t> Frame(uint8_t id) {
    return std::vector<uint8_t>(kFrameBytes, id);
}

// The pictures' numbers, read from their bytes, each checked whole (-1 when torn).
std::vector<int> Ids(const PreAlarmClip& clip) {
    std::vector<int> ids;
    for (const PreAlarmClip::Picture& p : clip.pictures()) {
        const std::vector<uint8_t> whole = Frame(p.frame[0]);
        ids.push_back(std::equal(whole.begin(), whole.end(), p.frame) ? p.frame[0] : -1);
    }
    return ids;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> ids;
    for (int id = from; id <= to; ++id) {
        ids.push_back(id);
    }
    return ids;
}

TEST(PreAlarmBuffer, KeepsThePicturesOfItsSpanUpToItsCountAndNoneTakenAfterTheMoment) {
    struct Case {
        const char* what;
        int spanMs;
        size_t maxPictures;
        int takeAtMs;  // 20 pictures come 100 ms apart, from 0 to 1900 ms
        std::vector<int> taken;
        std::vector<int> takenNext;  // a second take at 1900 ms
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
        for (int id = 0; id < 20; ++id) {
            buffer->Store(Frame(static_cast<uint8_t>(id)).data(), zero + milliseconds(100 * id));
        }
        const PreAlarmClip clip = buffer->Take(zero + milliseconds(c.takeAtMs));
        EXPECT_EQ(Ids(clip), c.taken);
        for (const PreAlarmClip::Picture& p : clip.pictures()) {
            EXPECT_EQ(p.captured, zero + milliseconds(100 * p.frame[0])) << "its own time";
        }
        EXPECT_EQ(Ids(buffer->Take(zero + milliseconds(1900))), c.takenNext);
    }
}

TEST(PreAlarmBuffer, ReusesItsMemoryAndKeepsLentPicturesWhole) {
    auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(1000), 30);
    const Clock::time_point zero = Clock::now();
    int id = 0;
    auto store = [&](int count) {
        for (int i = 0; i < count; ++i, ++id) {
            buffer->Store(Frame(static_cast<uint8_t>(id)).data(), zero + milliseconds(100 * id));
        }
    };
    store(100);
    // A span of 1 s at ten a second: eleven pictures, the memory of eleven and no more.
    EXPECT_EQ(buffer->pictureCount(), 11u);
    EXPECT_EQ(buffer->bytesHeld(), 11 * kFrameBytes);
    {
        const PreAlarmClip clip = buffer->Take(zero + milliseconds(100 * (id - 1)));
        EXPECT_EQ(Ids(clip), Range(89, 99));
        store(50);  // new memory while the clip holds its pictures, within the count
        EXPECT_EQ(Ids(clip), Range(89, 99)) << "lent pictures are never written over";
        EXPECT_EQ(buffer->bytesHeld(), 22 * kFrameBytes);
    }
    store(100);
    EXPECT_EQ(buffer->bytesHeld(), 22 * kFrameBytes) << "the clip's memory came back for reuse";
    EXPECT_EQ(Ids(buffer->Take(zero + milliseconds(100 * (id - 1)))), Range(239, 249));
}

TEST(PreAlarmBuffer, PicturesThatFindEveryBufferLentAreLeftOut) {
    auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(10000), 3);
    const Clock::time_point zero = Clock::now();
    for (int id = 0; id < 3; ++id) {
        buffer->Store(Frame(static_cast<uint8_t>(id)).data(), zero + milliseconds(id));
    }
    PreAlarmClip clip = buffer->Take(zero + milliseconds(2));
    buffer->Store(Frame(7).data(), zero + milliseconds(3));
    EXPECT_EQ(buffer->pictureCount(), 0u);
    EXPECT_EQ(Ids(clip), Range(0, 2));
    clip = PreAlarmClip();
    buffer->Store(Frame(8).data(), zero + milliseconds(4));
    EXPECT_EQ(Ids(buffer->Take(zero + milliseconds(4))), std::vector<int>{8});
    EXPECT_EQ(buffer->bytesHeld(), 3 * kFrameBytes);
}

TEST(PreAlarmBuffer, PicturesTakenWhileAStreamingThreadStoresAreWholeAndInOrder) {
    auto buffer = std::make_shared<PreAlarmBuffer>(milliseconds(1000), 8);
    std::atomic<bool> done = false;
    std::thread streaming([&] {
        for (int id = 0; id < 400; ++id) {
            buffer->OnPicture(Frame(static_cast<uint8_t>(id % 200)).data());
        }
        done = true;
    });
    int clips = 0;
    while (!done) {
        const PreAlarmClip clip = buffer->Take(Clock::now());
        const std::vector<int> ids = Ids(clip);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), -1), 0) << "a torn picture";
        for (size_t i = 1; i < ids.size(); ++i) {
            EXPECT_EQ((ids[i - 1] + 1) % 200, ids[i]) << "in the order they came";
        }
        clips += clip.empty() ? 0 : 1;
    }
    streaming.join();
    EXPECT_GT(clips, 0);
    EXPECT_LE(buffer->bytesHeld(), 8 * kFrameBytes);
}

TEST(PreAlarmCameras, OnlyWatchedCamerasKeepPicturesAndACaptureBuiltAnewIsTappedAgain) {
    const std::vector<uint8_t> frame = Frame(5);
    auto deliverToAll = [&frame](ovistra::media::FrameRouter& router) {
        for (int output = 0; output < 4; ++output) {
            router.SelectOutput(output);
            router.Deliver(frame.data(), frame.size());
        }
    };
    PreAlarmCameras cameras;
    ovistra::media::FrameRouter first;
    cameras.Start(0b0101, 3, &first);
    deliverToAll(first);
    EXPECT_EQ(cameras.bytesHeld(), 2 * kFrameBytes);
    EXPECT_EQ(Ids(cameras.Take(1)), std::vector<int>{5});
    EXPECT_TRUE(cameras.Take(2).empty());
    EXPECT_TRUE(cameras.Take(0).empty());

    ovistra::media::FrameRouter rebuilt;
    cameras.Follow(rebuilt);
    deliverToAll(rebuilt);
    EXPECT_EQ(Ids(cameras.Take(3)), (std::vector<int>{5, 5}));

    cameras.Stop(&rebuilt);
    EXPECT_EQ(rebuilt.grabber(0).pictureTap(), nullptr);
    EXPECT_EQ(cameras.bytesHeld(), 0u);

    cameras.Start(0b1111, 0, &rebuilt);  // no seconds: nothing kept
    deliverToAll(rebuilt);
    EXPECT_EQ(cameras.bytesHeld(), 0u);
    EXPECT_EQ(rebuilt.grabber(3).pictureTap(), nullptr);
}

}  // namespace
}  // namespace pre_alarm_test
