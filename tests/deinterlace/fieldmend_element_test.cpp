// The fieldmend element from the build folder, in real pipelines through GstHarness.
#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cpu_features.h"
#include "deinterlace_kernels.h"
#include "fieldmend_element_support.h"

namespace {

GstCaps* VideoCaps(GstVideoFormat format, int width, int height, const char* mode = nullptr) {
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                        gst_video_format_to_string(format), "width", G_TYPE_INT,
                                        width, "height", G_TYPE_INT, height, "framerate",
                                        GST_TYPE_FRACTION, 25, 1, nullptr);
    if (mode != nullptr) {
        gst_caps_set_simple(caps, "interlace-mode", G_TYPE_STRING, mode, nullptr);
    }
    return caps;
}

bool IsPacked(GstVideoFormat format) {
    return format == GST_VIDEO_FORMAT_YUY2 || format == GST_VIDEO_FORMAT_UYVY;
}

// The visible bytes of each line of plane `plane`.
int RowBytes(GstVideoFormat format, int width, int plane) {
    if (IsPacked(format)) {
        return width * 2;
    }
    return plane == 0 ? width : width / 2;
}

int Rows(GstVideoFormat format, int height, int plane) {
    return IsPacked(format) || plane == 0 ? height : height / 2;
}

int Planes(GstVideoFormat format) {
    return IsPacked(format) ? 1 : 3;
}

// Frames are woven unless a test says otherwise; woven 4:2:0 rounds its chroma rows up to even.
constexpr const char* kWoven = "interleaved";

GstVideoInfo InfoFor(GstVideoFormat format, int width, int height, const char* mode) {
    GstCaps* caps = VideoCaps(format, width, height, mode);
    GstVideoInfo info;
    EXPECT_TRUE(gst_video_info_from_caps(&info, caps));
    gst_caps_unref(caps);
    return info;
}

// A frame of noise with the layout of its caps, or with `strides`/`offsets` and a video meta.
GstBuffer* NoiseFrame(GstVideoFormat format, int width, int height, unsigned seed,
                      const char* mode = kWoven, const std::vector<int>& strides = {},
                      const std::vector<gsize>& offsets = {}) {
    const GstVideoInfo info = InfoFor(format, width, height, mode);
    gsize bytes = GST_VIDEO_INFO_SIZE(&info);
    if (!strides.empty()) {
        bytes = 0;
        for (int p = 0; p < Planes(format); ++p) {
            bytes =
                std::max<gsize>(bytes, offsets[p] + gsize(strides[p]) * Rows(format, height, p));
        }
    }
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::mt19937 random(seed);
    for (gsize i = 0; i < map.size; ++i) {
        map.data[i] = static_cast<guint8>(random());
    }
    gst_buffer_unmap(buffer, &map);
    if (!strides.empty()) {
        gsize offset[GST_VIDEO_MAX_PLANES] = {};
        gint stride[GST_VIDEO_MAX_PLANES] = {};
        for (int p = 0; p < Planes(format); ++p) {
            offset[p] = offsets[p];
            stride[p] = strides[p];
        }
        gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE, format, width, height,
                                       Planes(format), offset, stride);
    }
    return buffer;
}

// What the scalar kernels make of `input`, plane by plane, rows of visible bytes only.
std::vector<std::vector<uint8_t>> Reference(GstBuffer* input, GstVideoFormat inFormat,
                                            GstVideoFormat outFormat, int width, int height,
                                            const char* mode = kWoven) {
    GstVideoInfo info = InfoFor(inFormat, width, height, mode);
    GstVideoFrame frame;
    EXPECT_TRUE(gst_video_frame_map(&frame, &info, input, GST_MAP_READ));
    std::vector<std::vector<uint8_t>> planes(Planes(outFormat));
    for (int p = 0; p < Planes(outFormat); ++p) {
        planes[p].resize(size_t(RowBytes(outFormat, width, p)) * Rows(outFormat, height, p));
    }
    const unsigned previous = simd::SetAllowedForTesting(0);
    const bool swap = inFormat != outFormat;
    if (IsPacked(inFormat)) {
        fieldmend::DeinterlacePacked(
            {static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
             GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0)},
            {planes[0].data(), width * 2}, width, height, swap);
    } else {
        fieldmend::PlanarFrame src;
        for (int p = 0; p < 3; ++p) {
            src.plane[p] = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
            src.stride[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        }
        const fieldmend::PlanarFrameOut dst = {
            {planes[0].data(), planes[1].data(), planes[2].data()}, {width, width / 2, width / 2}};
        fieldmend::DeinterlacePlanar(src, dst, width, height, swap);
    }
    simd::SetAllowedForTesting(previous);
    gst_video_frame_unmap(&frame);
    return planes;
}

// Compares the visible bytes of `output`, mapped by its caps, with `expected`.
void ExpectFrame(GstBuffer* output, GstVideoFormat format, int width, int height,
                 const std::vector<std::vector<uint8_t>>& expected) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, format, width, height);
    GstVideoFrame frame;
    ASSERT_TRUE(gst_video_frame_map(&frame, &info, output, GST_MAP_READ));
    for (int p = 0; p < Planes(format); ++p) {
        const int rowBytes = RowBytes(format, width, p);
        const auto* data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        for (int row = 0; row < Rows(format, height, p); ++row) {
            if (std::memcmp(data + ptrdiff_t(row) * stride,
                            expected[p].data() + size_t(row) * rowBytes, rowBytes) != 0) {
                ADD_FAILURE() << "plane " << p << " row " << row << " differs";
                gst_video_frame_unmap(&frame);
                return;
            }
        }
    }
    gst_video_frame_unmap(&frame);
}

GstCaps* CurrentOutputCaps(GstHarness* h) {
    GstPad* src = gst_element_get_static_pad(h->element, "src");
    GstCaps* caps = gst_pad_get_current_caps(src);
    gst_object_unref(src);
    return caps;
}

void ExpectOutputCaps(GstHarness* h, GstVideoFormat format, int width, int height) {
    GstCaps* caps = CurrentOutputCaps(h);
    ASSERT_NE(caps, nullptr);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int w = 0;
    int hgt = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &hgt);
    EXPECT_STREQ(gst_structure_get_string(s, "format"), gst_video_format_to_string(format));
    EXPECT_STREQ(gst_structure_get_string(s, "interlace-mode"), "progressive");
    EXPECT_EQ(w, width);
    EXPECT_EQ(hgt, height);
    gst_caps_unref(caps);
}

// Pushes one frame of noise and checks what comes out against the scalar kernels.
void RunFrame(GstHarness* h, GstVideoFormat in, GstVideoFormat out, int width, int height,
              unsigned seed, const char* mode = kWoven) {
    GstBuffer* input = NoiseFrame(in, width, height, seed, mode);
    const auto expected = Reference(input, in, out, width, height, mode);
    ASSERT_EQ(gst_harness_push(h, input), GST_FLOW_OK);
    GstBuffer* output = gst_harness_pull(h);
    ASSERT_NE(output, nullptr);
    ExpectOutputCaps(h, out, width, height);
    ExpectFrame(output, out, width, height, expected);
    gst_buffer_unref(output);
}

GstHarness* Harness(const char* downstream) {
    GstHarness* h = gst_harness_new("fieldmend");
    gst_harness_set_sink_caps_str(h, downstream);
    return h;
}

// --- the plugin

TEST(FieldmendElementRegistration, ComesFromTheBuildFolderWithRankNone) {
    GstElementFactory* factory = gst_element_factory_find("fieldmend");
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)), GST_RANK_NONE);
    EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME),
                 "Deinterlace Filter");
    GstPlugin* plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
    ASSERT_NE(plugin, nullptr);
    EXPECT_STREQ(gst_plugin_get_filename(plugin), FIELDMEND_PLUGIN_FILE);
    gst_object_unref(plugin);
    int sinks = 0;
    int sources = 0;
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t; t = t->next) {
        const auto* templ = static_cast<const GstStaticPadTemplate*>(t->data);
        EXPECT_EQ(templ->presence, GST_PAD_ALWAYS);
        (templ->direction == GST_PAD_SINK ? sinks : sources)++;
    }
    EXPECT_EQ(sinks, 1);
    EXPECT_EQ(sources, 1);
    gst_object_unref(factory);
}

// --- every pair of formats, at several sizes

struct Pair {
    GstVideoFormat in;
    GstVideoFormat out;
};

class FieldmendElementPairs : public testing::TestWithParam<Pair> {};

TEST_P(FieldmendElementPairs, MatchTheScalarKernelsAtEverySize) {
    const Pair pair = GetParam();
    const bool packed = IsPacked(pair.in);
    // The smallest frame, a width that is no multiple of 8 where that is allowed, a full frame.
    const int sizes[][2] = {
        {packed ? 4 : 8, 2}, {packed ? 44 : 40, 6}, {packed ? 12 : 24, 10}, {720, 576}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        const std::string downstream =
            std::string("video/x-raw, format=") + gst_video_format_to_string(pair.out);
        GstHarness* h = Harness(downstream.c_str());
        gst_harness_set_src_caps(h, VideoCaps(pair.in, size[0], size[1], "interleaved"));
        RunFrame(h, pair.in, pair.out, size[0], size[1], size[0] + size[1]);
        gst_harness_teardown(h);
    }
}

std::string PairName(const testing::TestParamInfo<Pair>& info) {
    return std::string(gst_video_format_to_string(info.param.in)) + "to" +
           gst_video_format_to_string(info.param.out);
}

INSTANTIATE_TEST_SUITE_P(KernelTable, FieldmendElementPairs,
                         testing::Values(Pair{GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_YUY2},
                                         Pair{GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_UYVY},
                                         Pair{GST_VIDEO_FORMAT_UYVY, GST_VIDEO_FORMAT_UYVY},
                                         Pair{GST_VIDEO_FORMAT_UYVY, GST_VIDEO_FORMAT_YUY2},
                                         Pair{GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_I420},
                                         Pair{GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12},
                                         Pair{GST_VIDEO_FORMAT_YV12, GST_VIDEO_FORMAT_YV12},
                                         Pair{GST_VIDEO_FORMAT_YV12, GST_VIDEO_FORMAT_I420}),
                         PairName);

TEST(FieldmendElementFrames, PrefersTheInputFormatWhenDownstreamTakesAny) {
    for (GstVideoFormat format : {GST_VIDEO_FORMAT_UYVY, GST_VIDEO_FORMAT_YV12}) {
        GstHarness* h = Harness("video/x-raw");
        gst_harness_set_src_caps(h, VideoCaps(format, 64, 6));
        RunFrame(h, format, format, 64, 6, 5, nullptr);
        gst_harness_teardown(h);
    }
}

TEST(FieldmendElementFrames, ReadInputPlanesAtTheirOwnStridesAndOffsets) {
    struct Row {
        GstVideoFormat in;
        GstVideoFormat out;
        std::vector<int> strides;
        std::vector<gsize> offsets;
    };
    const Row rows[] = {
        {GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_UYVY, {40 * 2 + 24}, {16}},
        {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12, {64, 48, 40}, {8, 64 * 6 + 100, 900}},
        {GST_VIDEO_FORMAT_YV12, GST_VIDEO_FORMAT_YV12, {40, 20, 20}, {1000, 3, 600}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(gst_video_format_to_string(row.in));
        const std::string downstream =
            std::string("video/x-raw, format=") + gst_video_format_to_string(row.out);
        GstHarness* h = Harness(downstream.c_str());
        gst_harness_set_src_caps(h, VideoCaps(row.in, 40, 6, kWoven));
        GstBuffer* input = NoiseFrame(row.in, 40, 6, 11, kWoven, row.strides, row.offsets);
        const auto expected = Reference(input, row.in, row.out, 40, 6);
        ASSERT_EQ(gst_harness_push(h, input), GST_FLOW_OK);
        GstBuffer* output = gst_harness_pull(h);
        ASSERT_NE(output, nullptr);
        ExpectFrame(output, row.out, 40, 6, expected);
        gst_buffer_unref(output);
        gst_harness_teardown(h);
    }
}

// --- time stamps

TEST(FieldmendElementTimestamps, PassUnchangedAndStayAbsentWhenAbsent) {
    GstHarness* h = Harness("video/x-raw");
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_YUY2, 16, 4, "interleaved"));

    GstBuffer* timed = NoiseFrame(GST_VIDEO_FORMAT_YUY2, 16, 4, 1);
    GST_BUFFER_PTS(timed) = 3 * GST_SECOND + 7;
    GST_BUFFER_DTS(timed) = 3 * GST_SECOND;
    GST_BUFFER_DURATION(timed) = 40 * GST_MSECOND + 1;
    GST_BUFFER_FLAG_SET(timed, GST_BUFFER_FLAG_DELTA_UNIT);
    ASSERT_EQ(gst_harness_push(h, timed), GST_FLOW_OK);
    GstBuffer* out = gst_harness_pull(h);
    EXPECT_EQ(GST_BUFFER_PTS(out), 3 * GST_SECOND + 7);
    EXPECT_EQ(GST_BUFFER_DTS(out), 3 * GST_SECOND);
    EXPECT_EQ(GST_BUFFER_DURATION(out), 40 * GST_MSECOND + 1);
    // Every output frame stands on its own.
    EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(out, GST_BUFFER_FLAG_DELTA_UNIT));
    gst_buffer_unref(out);

    GstBuffer* startOnly = NoiseFrame(GST_VIDEO_FORMAT_YUY2, 16, 4, 2);
    GST_BUFFER_PTS(startOnly) = 5 * GST_SECOND;
    ASSERT_EQ(gst_harness_push(h, startOnly), GST_FLOW_OK);
    out = gst_harness_pull(h);
    EXPECT_EQ(GST_BUFFER_PTS(out), 5 * GST_SECOND);
    EXPECT_FALSE(GST_CLOCK_TIME_IS_VALID(GST_BUFFER_DURATION(out)));
    gst_buffer_unref(out);

    GstBuffer* untimed = NoiseFrame(GST_VIDEO_FORMAT_YUY2, 16, 4, 3);
    GST_BUFFER_DURATION(untimed) = 20 * GST_MSECOND;
    const auto expected = Reference(untimed, GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_YUY2, 16, 4);
    ASSERT_EQ(gst_harness_push(h, untimed), GST_FLOW_OK);
    out = gst_harness_pull(h);
    EXPECT_FALSE(GST_BUFFER_PTS_IS_VALID(out));
    EXPECT_EQ(GST_BUFFER_DURATION(out), 20 * GST_MSECOND);
    ExpectFrame(out, GST_VIDEO_FORMAT_YUY2, 16, 4, expected);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}

// --- negotiation with real peers

TEST(FieldmendElementNegotiation, RefusedCapsFailToNegotiate) {
    struct Row {
        const char* name;
        const char* input;
        const char* downstream;
        bool negotiates;
    };
    const Row rows[] = {
        {"I420 360 wide", "video/x-raw,format=I420,width=360,height=288,framerate=25/1",
         "video/x-raw", true},
        {"unmarked YUY2", "video/x-raw,format=YUY2,width=720,height=576,framerate=25/1",
         "video/x-raw", true},
        {"woven with a field order",
         "video/x-raw,format=UYVY,width=720,height=576,framerate=25/1,"
         "interlace-mode=interleaved,field-order=top-field-first",
         "video/x-raw,interlace-mode=progressive", true},
        {"I420 364 wide", "video/x-raw,format=I420,width=364,height=288,framerate=25/1",
         "video/x-raw", false},
        {"YUY2 362 wide", "video/x-raw,format=YUY2,width=362,height=288,framerate=25/1",
         "video/x-raw", false},
        {"odd height", "video/x-raw,format=YUY2,width=720,height=575,framerate=25/1", "video/x-raw",
         false},
        {"packed into planar", "video/x-raw,format=YUY2,width=720,height=576,framerate=25/1",
         "video/x-raw,format=I420", false},
        {"planar into packed", "video/x-raw,format=YV12,width=720,height=576,framerate=25/1",
         "video/x-raw,format=UYVY", false},
        {"fields in separate buffers",
         "video/x-raw(format:Interlaced),format=YUY2,width=720,height=576,framerate=25/1,"
         "interlace-mode=alternate",
         "video/x-raw", false},
        {"downstream wants woven output",
         "video/x-raw,format=YUY2,width=720,height=576,framerate=25/1",
         "video/x-raw,interlace-mode=interleaved", false},
        {"a format outside the five", "video/x-raw,format=RGBx,width=720,height=576,framerate=25/1",
         "video/x-raw", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GstHarness* h = Harness(row.downstream);
        // A refused caps event is kept to be retried, so the first buffer tells.
        gst_harness_push_event(h, gst_event_new_caps(gst_caps_from_string(row.input)));
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        gst_harness_push_event(h, gst_event_new_segment(&segment));
        GstVideoInfo info;
        GstCaps* caps = gst_caps_from_string(row.input);
        ASSERT_TRUE(gst_video_info_from_caps(&info, caps));
        gst_caps_unref(caps);
        const GstFlowReturn flow = gst_harness_push(
            h, gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr));
        EXPECT_EQ(flow, row.negotiates ? GST_FLOW_OK : GST_FLOW_NOT_NEGOTIATED);
        gst_harness_teardown(h);
    }
}

TEST(FieldmendElementNegotiation, ANewFrameSizeAfterRenegotiationIsUsed) {
    GstHarness* h = Harness("video/x-raw");
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_YUY2, 720, 576, "interleaved"));
    RunFrame(h, GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_YUY2, 720, 576, 1);
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_YUY2, 360, 288, "interleaved"));
    RunFrame(h, GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_YUY2, 360, 288, 2);
    // Larger again, and into the other order.
    gst_harness_set_sink_caps_str(h, "video/x-raw, format=YUY2");
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_UYVY, 768, 576, "interleaved"));
    RunFrame(h, GST_VIDEO_FORMAT_UYVY, GST_VIDEO_FORMAT_YUY2, 768, 576, 3);
    gst_harness_teardown(h);

    h = Harness("video/x-raw, format=YV12");
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_I420, 176, 144));
    RunFrame(h, GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12, 176, 144, 4, nullptr);
    gst_harness_set_src_caps(h, VideoCaps(GST_VIDEO_FORMAT_I420, 352, 290));
    RunFrame(h, GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12, 352, 290, 5, nullptr);
    gst_harness_teardown(h);
}

// --- bad input

TEST(FieldmendElementBadInput, ABufferTooShortForItsCapsIsAnElementError) {
    for (GstVideoFormat format : {GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_I420}) {
        SCOPED_TRACE(gst_video_format_to_string(format));
        GstHarness* h = Harness("video/x-raw");
        GstBus* bus = gst_bus_new();
        gst_element_set_bus(h->element, bus);
        gst_harness_set_src_caps(h, VideoCaps(format, 64, 46, kWoven));
        const GstVideoInfo info = InfoFor(format, 64, 46, kWoven);

        GstBuffer* truncated =
            gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info) - 1, nullptr);
        EXPECT_EQ(gst_harness_push(h, truncated), GST_FLOW_ERROR);
        EXPECT_EQ(gst_harness_buffers_in_queue(h), 0u);
        GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        ASSERT_NE(message, nullptr);
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        EXPECT_TRUE(g_error_matches(error, GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT))
            << (error ? error->message : "");
        g_clear_error(&error);
        gst_message_unref(message);

        // The stream itself is still sound: a whole frame goes through.
        RunFrame(h, format, format, 64, 46, 9);
        gst_element_set_bus(h->element, nullptr);
        gst_object_unref(bus);
        gst_harness_teardown(h);
    }
}

}  // namespace
