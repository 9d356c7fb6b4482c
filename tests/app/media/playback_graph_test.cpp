// A recording played back through the graph: its first picture on opening, its end reported,
// seeks and rates, and files that cannot be played.
#include "playback_graph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "frame_grabber.h"
#include "test_clip.h"

namespace ovistra::media {
namespace {

class PlaybackGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        setenv("OVISTRA_AUDIO_SINK", "fake", 1);
        char folder[] = "/tmp/playback-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir = folder;
        clip = dir / "clip.avi";
        ASSERT_TRUE(testing::MakeClip(clip));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // Waits for a notification, then hands over what the graph reported.
    std::vector<PlaybackGraph::Event> WaitForEvents(int seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (notified.load() == 0 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return graph.TakeEvents();
    }

    std::filesystem::path dir;
    std::string clip;
    FrameGrabber grabber;
    std::atomic<int> notified{0};
    PlaybackGraph graph{grabber, [this] { ++notified; }};
};

TEST_F(PlaybackGraphTest, OpensOnItsFirstPictureAndReportsItsEnd) {
    ASSERT_TRUE(graph.Open(clip));
    EXPECT_GE(grabber.framesReceived(), 1u);
    ASSERT_TRUE(graph.Duration());
    EXPECT_NEAR(*graph.Duration(), 2.0, 0.1);
    ASSERT_TRUE(graph.SetRate(4.0));
    EXPECT_EQ(graph.rate(), 4.0);
    ASSERT_TRUE(graph.Play());
    EXPECT_EQ(WaitForEvents(10), std::vector{PlaybackGraph::Event::Complete});
    EXPECT_GE(grabber.framesReceived(), 10u);
}

TEST_F(PlaybackGraphTest, PausedSeeksShowThePictureThere) {
    ASSERT_TRUE(graph.Open(clip));
    const uint64_t before = grabber.framesReceived();
    ASSERT_TRUE(graph.Seek(1.5));
    EXPECT_GT(grabber.framesReceived(), before);
    ASSERT_TRUE(graph.Position());
    EXPECT_NEAR(*graph.Position(), 1.5, 0.5);  // the key frame at or before it
    EXPECT_FALSE(graph.Seek(-1.0));
    EXPECT_FALSE(graph.SetRate(0.0));
    EXPECT_EQ(graph.rate(), 1.0);
}

TEST_F(PlaybackGraphTest, FilesThatCannotBePlayedLeaveNothingOpen) {
    std::filesystem::copy_file(clip, dir / "cut.avi");
    std::filesystem::resize_file(dir / "cut.avi", 300);
    std::ofstream(dir / "notes.avi") << "not a recording\n";
    for (const auto& path : {dir / "missing.avi", dir / "cut.avi", dir / "notes.avi"}) {
        EXPECT_FALSE(graph.Open(path)) << path;
        EXPECT_FALSE(graph.loaded());
        EXPECT_FALSE(graph.Play());
        EXPECT_FALSE(graph.Position());
    }
}

}  // namespace
}  // namespace ovistra::media
