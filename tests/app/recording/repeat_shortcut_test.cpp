// Repeats skip the converter but come out as it would have made them, with their own times.
#include "repeat_shortcut.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include <vector>

#include "framework_hand_over.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr size_t kBgrBytes = kWidth * kHeight * 3;

GstBuffer* Picture(uint8_t level) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, kBgrBytes, nullptr);
    gst_buffer_memset(buffer, 0, level, kBgrBytes);
    return buffer;
}

// The buffer's memory again, as the recorder sends a repeat.
GstBuffer* RepeatOf(GstBuffer* picture) {
    return gst_buffer_copy(picture);
}

std::vector<uint8_t> Bytes(GstSample* sample) {
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    std::vector<uint8_t> bytes(map.data, map.data + map.size);
    gst_buffer_unmap(buffer, &map);
    return bytes;
}

TEST(RepeatShortcut, RepeatsComeOutAsTheConverterMadeThemWithTheirOwnTimes) {
    gst_init(nullptr, nullptr);
    GstElement* pipeline = gst_parse_launch(
        "appsrc name=src format=time caps=video/x-raw,format=BGR,width=64,height=48,"
        "framerate=25/1 ! videoconvert name=convert ! video/x-raw,format=I420 ! "
        "appsink name=out sync=false",
        nullptr);
    ASSERT_NE(pipeline, nullptr);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstElement* convert = gst_bin_get_by_name(GST_BIN(pipeline), "convert");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    ovistra::RepeatShortcut shortcut;
    shortcut.Attach(convert);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    GstBuffer* dark = Picture(30);
    GstBuffer* light = Picture(220);
    // A new picture, its repeat, another picture, two repeats of it, then the first picture's
    // memory once more: that is no repeat of the last one and is converted again.
    GstBuffer* sequence[] = {gst_buffer_ref(dark), RepeatOf(dark),  gst_buffer_ref(light),
                             RepeatOf(light),      RepeatOf(light), RepeatOf(dark)};
    const bool isDark[] = {true, true, false, false, false, true};
    for (size_t i = 0; i < std::size(sequence); ++i) {
        GST_BUFFER_PTS(sequence[i]) = i * 40 * GST_MSECOND;
        GST_BUFFER_DURATION(sequence[i]) = 40 * GST_MSECOND;
        ovistra::media::GivenToFramework(sequence[i]);
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src), sequence[i]), GST_FLOW_OK);
    }
    std::vector<uint8_t> darkBytes, lightBytes;
    for (size_t i = 0; i < std::size(sequence); ++i) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(out), 5 * GST_SECOND);
        ASSERT_NE(sample, nullptr) << i;
        ovistra::media::TakenFromFramework(gst_sample_get_buffer(sample));
        EXPECT_EQ(GST_BUFFER_PTS(gst_sample_get_buffer(sample)), i * 40 * GST_MSECOND);
        const std::vector<uint8_t> bytes = Bytes(sample);
        std::vector<uint8_t>& expected = isDark[i] ? darkBytes : lightBytes;
        if (expected.empty()) {
            expected = bytes;
        }
        EXPECT_EQ(bytes, expected) << i;
        gst_sample_unref(sample);
    }
    EXPECT_NE(darkBytes, lightBytes);
    EXPECT_EQ(shortcut.shortcuts(), 3u);

    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_buffer_unref(dark);
    gst_buffer_unref(light);
    for (GstElement* e : {src, convert, out, pipeline}) {
        gst_object_unref(e);
    }
}

}  // namespace
