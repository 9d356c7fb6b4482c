// The simulated device's source element in real pipelines: ovistrasimsrc ! appsink.
#include "sim_source_element.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "gst_ptr.h"
#include "sim_device.h"

namespace {

using namespace ovistra::media;

constexpr GstClockTime kPullTimeout = 2 * GST_SECOND;

class SimSourceElement : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

    // ovistrasimsrc ! appsink, made through the device as the capture graph makes it.
    void Build(const std::shared_ptr<SimulatedDevice>& device) {
        pipeline_ = AdoptGst(gst_pipeline_new("test"));
        GstElement* source = device->MakeSourceElement();
        ASSERT_NE(source, nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        g_object_set(sink, "sync", FALSE, "max-buffers", 4u, "drop", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), source, sink, nullptr);
        ASSERT_TRUE(gst_element_link(source, sink));
        sink_ = GST_APP_SINK(sink);
    }

    void TearDown() override {
        if (pipeline_) {
            gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        }
    }

    GstSample* Pull() { return gst_app_sink_try_pull_sample(sink_, kPullTimeout); }

    GstPtr<GstElement> pipeline_;
    GstAppSink* sink_ = nullptr;
};

int FramerateOf(GstSample* sample) {
    const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    int num = 0, den = 0;
    gst_structure_get_fraction(s, "framerate", &num, &den);
    return den != 0 ? num / den : 0;
}

TEST_F(SimSourceElement, DeliversWholePicturesWithRisingTimestamps) {
    auto device = std::make_shared<SimulatedDevice>(SimDeviceConfig{});
    Build(device);
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstClockTime previous = GST_CLOCK_TIME_NONE;
    for (int i = 0; i < 6; ++i) {
        GstSample* sample = Pull();
        ASSERT_NE(sample, nullptr) << "frame " << i;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        EXPECT_EQ(gst_buffer_get_size(buffer), kFrameBytes);
        EXPECT_EQ(FramerateOf(sample), 25);
        const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
        EXPECT_STREQ(gst_structure_get_string(s, "format"), "YUY2");
        const GstClockTime pts = GST_BUFFER_PTS(buffer);
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(pts));
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), GST_SECOND / 25);
        if (GST_CLOCK_TIME_IS_VALID(previous)) {
            EXPECT_GT(pts, previous);
        }
        previous = pts;
        GstMapInfo map;
        ASSERT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
        EXPECT_EQ(SimulatedDevice::CameraShownIn(map.data), 1);
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    EXPECT_EQ(gst_element_set_state(pipeline_.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

TEST_F(SimSourceElement, TheNtscStandardGivesThirtyFrames) {
    auto device = std::make_shared<SimulatedDevice>(SimDeviceConfig{});
    const uint8_t ntsc = kStandardNtsc;
    ASSERT_TRUE(device->WriteI2c(kDecoderAddress, kDecoderStandardRegister, &ntsc, 1));
    Build(device);
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* sample = Pull();
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(FramerateOf(sample), 30);
    EXPECT_EQ(GST_BUFFER_DURATION(gst_sample_get_buffer(sample)),
              gst_util_uint64_scale_int(GST_SECOND, 1, 30));
    gst_sample_unref(sample);
}

TEST_F(SimSourceElement, StopsFromPlayingAtOnce) {
    auto device = std::make_shared<SimulatedDevice>(SimDeviceConfig{});
    Build(device);
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* sample = Pull();
    ASSERT_NE(sample, nullptr);
    gst_sample_unref(sample);
    // The streaming thread is waiting for the next frame time now; unlock ends the wait.
    EXPECT_EQ(gst_element_set_state(pipeline_.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
    // And it starts again.
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    sample = Pull();
    ASSERT_NE(sample, nullptr);
    gst_sample_unref(sample);
    EXPECT_EQ(gst_element_set_state(pipeline_.get(), GST_STATE_READY), GST_STATE_CHANGE_SUCCESS);
}

TEST_F(SimSourceElement, ShowsTheInputTheSwitchingThreadSelects) {
    SimDeviceConfig config;
    config.settleMs = 0;
    auto device = std::make_shared<SimulatedDevice>(config);
    Build(device);
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    std::atomic<bool> stop{false};
    std::thread switcher([&] {
        uint8_t input = 0;
        while (!stop.load()) {
            input = static_cast<uint8_t>((input + 1) % 4);
            device->Bus()->WriteI2c(kDecoderAddress, kDecoderInputRegister, &input, 1);
            device->Set(ProcAmpProperty::Brightness, 100, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(7));
        }
    });
    std::vector<bool> seen(5, false);
    for (int i = 0; i < 12; ++i) {
        GstSample* sample = Pull();
        ASSERT_NE(sample, nullptr);
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        ASSERT_EQ(gst_buffer_get_size(buffer), kFrameBytes);
        GstMapInfo map;
        ASSERT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
        seen[SimulatedDevice::CameraShownIn(map.data)] = true;
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    stop = true;
    switcher.join();
    EXPECT_FALSE(seen[0]) << "a picture without a camera's marker";
    EXPECT_GE(seen[1] + seen[2] + seen[3] + seen[4], 2);
    EXPECT_EQ(gst_element_set_state(pipeline_.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

TEST_F(SimSourceElement, TheElementKeepsItsDeviceAlive) {
    auto device = std::make_shared<SimulatedDevice>(SimDeviceConfig{});
    std::weak_ptr<SimulatedDevice> watch = device;
    Build(device);
    device.reset();
    EXPECT_FALSE(watch.expired());
    ASSERT_NE(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* sample = Pull();
    ASSERT_NE(sample, nullptr);
    gst_sample_unref(sample);
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    pipeline_.reset();
    // GStreamer's own threads may hold the pipeline a moment longer (a state change they
    // were finishing); the device goes with the element's last reference.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!watch.expired() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(watch.expired());
}

TEST_F(SimSourceElement, ADeviceOutsideASharedPointerWorksToo) {
    SimulatedDevice device{SimDeviceConfig{}};
    GstPtr<GstElement> element = AdoptGst(device.MakeSourceElement());
    ASSERT_NE(element, nullptr);
}

TEST_F(SimSourceElement, RegistrationHappensOnceFromAnyThread) {
    std::vector<std::thread> threads;
    std::atomic<int> registered{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] { registered += RegisterSimSourceElement() ? 1 : 0; });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(registered.load(), 4);
    GstElementFactory* factory = gst_element_factory_find(kSimSourceFactoryName);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)), guint{GST_RANK_NONE});
    gst_object_unref(factory);
}

TEST_F(SimSourceElement, AnElementWithoutADeviceFailsToStart) {
    ASSERT_TRUE(RegisterSimSourceElement());
    pipeline_ = AdoptGst(gst_pipeline_new("unbound"));
    GstElement* source = gst_element_factory_make(kSimSourceFactoryName, nullptr);
    ASSERT_NE(source, nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    gst_bin_add_many(GST_BIN(pipeline_.get()), source, sink, nullptr);
    ASSERT_TRUE(gst_element_link(source, sink));
    EXPECT_EQ(gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
}

}  // namespace
