// The grabber's lease keeps a frame whole while frames keep arriving; the router feeds only the
// selected grabber.
#include "frame_grabber.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "capture_device.h"
#include "frame_router.h"

namespace {

using ovistra::media::FrameGrabber;
using ovistra::media::FrameRouter;
using ovistra::media::kFrameBytes;

std::vector<uint8_t> FrameOf(uint8_t value) {
    return std::vector<uint8_t>(kFrameBytes, value);
}

bool Whole(const uint8_t* frame) {
    for (size_t i = 1; i < kFrameBytes; ++i) {
        if (frame[i] != frame[0]) {
            return false;
        }
    }
    return true;
}

TEST(FrameGrabber, HandsOutNothingBeforeTheFirstFrameThenTheLatest) {
    FrameGrabber grabber;
    EXPECT_FALSE(grabber.GetBuffer());
    for (uint8_t value : {7, 8, 9}) {
        const auto frame = FrameOf(value);
        grabber.Store(frame.data(), frame.size());
        const FrameGrabber::Lease lease = grabber.GetBuffer();
        ASSERT_TRUE(lease);
        EXPECT_EQ(lease.data()[0], value);
        EXPECT_EQ(lease.data()[kFrameBytes - 1], value);
    }
    EXPECT_EQ(grabber.framesReceived(), 3u);
}

TEST(FrameGrabber, FramesOfAnotherSizeAreDropped) {
    FrameGrabber grabber;
    const std::vector<uint8_t> shorter(kFrameBytes - 2, 1);
    grabber.Store(shorter.data(), shorter.size());
    grabber.Store(nullptr, kFrameBytes);
    EXPECT_FALSE(grabber.GetBuffer());
    EXPECT_EQ(grabber.framesReceived(), 0u);
}

TEST(FrameGrabber, AHeldLeaseKeepsItsFrameWhileNewerOnesArrive) {
    FrameGrabber grabber;
    const auto first = FrameOf(1);
    grabber.Store(first.data(), first.size());
    FrameGrabber::Lease held = grabber.GetBuffer();
    for (uint8_t value = 2; value < 12; ++value) {
        const auto frame = FrameOf(value);
        grabber.Store(frame.data(), frame.size());
        // A second lease while the first is held sees the same, whole frame.
        const FrameGrabber::Lease again = grabber.GetBuffer();
        EXPECT_EQ(again.data(), held.data());
    }
    EXPECT_TRUE(Whole(held.data()));
    EXPECT_EQ(held.data()[0], 1);
    held = FrameGrabber::Lease();
    const FrameGrabber::Lease fresh = grabber.GetBuffer();
    EXPECT_EQ(fresh.data()[0], 11);
}

TEST(FrameGrabber, AReaderHoldingLeasesSeesWholeFramesOnlyWhileAThousandAreStored) {
    FrameGrabber grabber;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<uint8_t> frame(kFrameBytes);
        for (int n = 0; n < 1000; ++n) {
            std::fill(frame.begin(), frame.end(), static_cast<uint8_t>(n));
            grabber.Store(frame.data(), frame.size());
        }
        done = true;
    });
    int torn = 0;
    int reads = 0;
    while (!done || reads == 0) {
        const FrameGrabber::Lease lease = grabber.GetBuffer();
        if (lease) {
            torn += Whole(lease.data()) ? 0 : 1;
            ++reads;
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(grabber.framesReceived(), 1000u);
}

TEST(FrameGrabber, TheCallbackHearsOfEveryStoredFrameUntilCleared) {
    FrameGrabber grabber;
    int heard = 0;
    grabber.SetFrameCallback([&] { ++heard; });
    const auto frame = FrameOf(3);
    grabber.Store(frame.data(), frame.size());
    grabber.Store(frame.data(), frame.size());
    grabber.SetFrameCallback(nullptr);
    grabber.Store(frame.data(), frame.size());
    EXPECT_EQ(heard, 2);
}

TEST(FrameRouter, OnlyTheSelectedGrabberReceivesAndMinusOneDrops) {
    struct Case {
        int selected;
        std::array<uint64_t, 4> expected;
    };
    const Case cases[] = {
        {0, {1, 0, 0, 0}}, {3, {0, 0, 0, 1}},  {-1, {0, 0, 0, 0}},
        {4, {0, 0, 0, 0}}, {-7, {0, 0, 0, 0}},
    };
    const auto frame = FrameOf(5);
    for (const Case& c : cases) {
        FrameRouter router;
        router.SelectOutput(c.selected);
        router.Deliver(frame.data(), frame.size());
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(router.grabber(i).framesReceived(), c.expected[i]) << c.selected << " " << i;
        }
    }
}

}  // namespace
