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

namespace ovistra::media {
namespace {

// Two seconds of pictures with sound, as an AVI file.
bool MakeClip(const std::string& path) {
    const std::string line =
        "videotestsrc num-buffers=50 pattern=ball ! video/x-raw,width=320,height=240,"
        "framerate=25/1 ! avenc_mpeg4 ! avimux name=mux ! filesink location=\"" +
        path + "\" audiotestsrc num-buffers=20 samplesperbuffer=4410 ! audioconvert ! mux.";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(line.c_str(), &error);
    g_clear_error(&error);
    if (!pipeline) {
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool made = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) {
        gst_message_unref(end);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return made;
}

class PlaybackGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        setenv("OVISTRA_AUDIO_SINK", "fake", 1);
        char folder[] = "/tmp/playback-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir = folder;
        clip = dir / "clip.avi";
        ASSERT_TRUE(MakeClip(clip));
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
