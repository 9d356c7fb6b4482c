// The recorder writes AVI files that play: the right size, rate and length, pictures upright.
#include "c_recorder.h"

#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using ovistra::CRecorder;

constexpr size_t kFrameBytes = 614400;

// A YUY2 frame, white in its top half and black below.
std::vector<uint8_t> HalfWhiteFrame() {
    std::vector<uint8_t> frame(kFrameBytes);
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        frame[i] = i < kFrameBytes / 2 ? 235 : 16;
        frame[i + 1] = 128;
    }
    return frame;
}

struct FileFacts {
    int width = 0;
    int height = 0;
    double fps = 0;
    double seconds = 0;
    int topLuma = -1;     // of the first picture, near its top
    int bottomLuma = -1;  // and near its bottom
};

FileFacts Inspect(const QString& path) {
    FileFacts facts;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
    const std::string uri = "file://" + path.toStdString();
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri.c_str(), &error);
    if (info) {
        facts.seconds = gst_discoverer_info_get_duration(info) / double(GST_SECOND);
        GList* videos = gst_discoverer_info_get_video_streams(info);
        if (videos) {
            auto* video = GST_DISCOVERER_VIDEO_INFO(videos->data);
            facts.width = gst_discoverer_video_info_get_width(video);
            facts.height = gst_discoverer_video_info_get_height(video);
            facts.fps = double(gst_discoverer_video_info_get_framerate_num(video)) /
                        gst_discoverer_video_info_get_framerate_denom(video);
        }
        gst_discoverer_stream_info_list_free(videos);
        gst_discoverer_info_unref(info);
    }
    g_clear_error(&error);
    g_object_unref(discoverer);

    const std::string line = "filesrc location=\"" + path.toStdString() +
                             "\" ! decodebin ! videoconvert ! video/x-raw,format=GRAY8 ! "
                             "appsink name=out sync=false";
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
    if (sample) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            facts.topLuma = map.data[20 * 640 + 320];
            facts.bottomLuma = map.data[460 * 640 + 320];
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return facts;
}

TEST(CRecorder, WritesPlayableUprightFilesWithEachEncoder) {
    gst_init(nullptr, nullptr);
    struct Case {
        std::string compressor;  // asked for
        std::string used;
        uint32_t intervalMs;
    };
    const Case cases[] = {
        {"", "avenc_mpeg4", 40},
        {"jpegenc", "jpegenc", 100},
        {"no-such-encoder", "avenc_mpeg4", 200},
    };
    QTemporaryDir dir;
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compressor);
        const QString path = dir.filePath(QString::fromStdString("rec-" + c.used) +
                                          QString::number(c.intervalMs) + ".avi");
        CRecorder recorder;
        recorder.SetFrameInterval(c.intervalMs);
        recorder.SetVideoCompressor(c.compressor);
        recorder.SetFileName(path);
        ASSERT_TRUE(recorder.BuildGraph());
        EXPECT_EQ(recorder.encoder(), c.used);
        ASSERT_TRUE(recorder.Run());
        const int samples = 10;
        for (int i = 0; i < samples; ++i) {
            // At the frame timer's pace; repeats fill the ticks without a new frame.
            recorder.PushFrame(frame.data(), i % 3 == 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(c.intervalMs));
        }
        recorder.Stop();
        const FileFacts facts = Inspect(path);
        EXPECT_EQ(facts.width, 640);
        EXPECT_EQ(facts.height, 480);
        EXPECT_NEAR(facts.fps, 1000.0 / c.intervalMs, 0.01);
        EXPECT_NEAR(facts.seconds, samples * c.intervalMs / 1000.0, c.intervalMs / 1000.0 + 0.01);
        EXPECT_GT(facts.topLuma, 200);
        EXPECT_LT(facts.bottomLuma, 40);
    }
}

TEST(CRecorder, APictureBeforeTheFirstFrameIsBlackAndANewFileStartsAtZero) {
    gst_init(nullptr, nullptr);
    QTemporaryDir dir;
    CRecorder recorder;
    recorder.SetFrameInterval(100);
    recorder.SetFileName(dir.filePath("first.avi"));
    ASSERT_TRUE(recorder.BuildGraph());
    ASSERT_TRUE(recorder.Run());
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    recorder.PushFrame(nullptr, false);  // the camera has no picture yet: black
    recorder.PushFrame(frame.data(), true);
    recorder.Stop();
    EXPECT_LT(Inspect(dir.filePath("first.avi")).topLuma, 40);

    EXPECT_TRUE(recorder.ChangeOutputFile(dir.filePath("second.avi")));
    ASSERT_TRUE(recorder.Run());
    for (int i = 0; i < 5; ++i) {
        recorder.PushFrame(frame.data(), false);  // the last picture again
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(recorder.ChangeOutputFile(dir.filePath("third.avi"))) << "only while stopped";
    recorder.Stop();
    const FileFacts second = Inspect(dir.filePath("second.avi"));
    EXPECT_GT(second.topLuma, 200);
    EXPECT_NEAR(second.seconds, 0.5, 0.11);
}

}  // namespace
