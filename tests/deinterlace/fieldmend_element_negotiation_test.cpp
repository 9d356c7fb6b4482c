// The element's caps negotiation as a pure function: rows of (caps on one side, filter from the
// peer, expected caps on the other side in order, or nothing).
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "fieldmend_caps.h"
#include "fieldmend_element_support.h"

namespace {

constexpr const char* kRefused = "";

struct Row {
    const char* name;
    GstPadDirection direction;
    const char* caps;
    const char* filter;  // null: none
    const char* expected;
};

#define FULL "width=(int)720, height=(int)576, framerate=(fraction)25/1"
#define OUT(format) \
    "video/x-raw, format=(string)" format ", " FULL ", interlace-mode=(string)progressive"
#define IN(format)                                  \
    "video/x-raw, format=(string)" format ", " FULL \
    ", interlace-mode=(string){ progressive, interleaved }"

const Row kRows[] = {
    // What an input can become: the filter's proposals in their order, then the family.
    {"YUY2", GST_PAD_SINK, "video/x-raw, format=YUY2, " FULL ", interlace-mode=interleaved",
     nullptr, OUT("YUY2") "; " OUT("UYVY")},
    {"UYVY", GST_PAD_SINK, "video/x-raw, format=UYVY, " FULL, nullptr,
     OUT("UYVY") "; " OUT("YUY2")},
    {"I420", GST_PAD_SINK, "video/x-raw, format=I420, " FULL ", interlace-mode=progressive",
     nullptr, OUT("I420") "; " OUT("YV12")},
    {"YV12", GST_PAD_SINK, "video/x-raw, format=YV12, " FULL, nullptr,
     OUT("YV12") "; " OUT("I420")},
    {"I420 360 wide", GST_PAD_SINK, "video/x-raw, format=I420, width=360, height=288", nullptr,
     "video/x-raw, format=I420, width=360, height=288, interlace-mode=progressive; "
     "video/x-raw, format=YV12, width=360, height=288, interlace-mode=progressive"},
    {"a list of formats", GST_PAD_SINK, "video/x-raw, format={ I420, UYVY }, " FULL, nullptr,
     OUT("I420") "; " OUT("YV12") "; " OUT("UYVY") "; " OUT("YUY2")},
    {"the field order goes with the weave", GST_PAD_SINK,
     "video/x-raw, format=YUY2, " FULL ", interlace-mode=interleaved, field-order=top-field-first",
     "video/x-raw, format=UYVY", OUT("UYVY")},
    {"downstream picks the other order", GST_PAD_SINK, "video/x-raw, format=I420, " FULL,
     "video/x-raw, format=YV12", OUT("YV12")},
    {"downstream wants the other family", GST_PAD_SINK, "video/x-raw, format=I420, " FULL,
     "video/x-raw, format={ YUY2, UYVY }", kRefused},
    {"I420 364 wide", GST_PAD_SINK, "video/x-raw, format=I420, width=364, height=288", nullptr,
     kRefused},
    {"UYVY 362 wide", GST_PAD_SINK, "video/x-raw, format=UYVY, width=362, height=288", nullptr,
     kRefused},
    {"odd height", GST_PAD_SINK, "video/x-raw, format=YV12, width=720, height=575", nullptr,
     kRefused},
    {"another format", GST_PAD_SINK, "video/x-raw, format=RGBx, " FULL, nullptr, kRefused},
    {"another media type", GST_PAD_SINK, "image/jpeg, " FULL, nullptr, kRefused},
    {"memory the element cannot map", GST_PAD_SINK,
     "video/x-raw(memory:GLMemory), format=I420, " FULL, nullptr, kRefused},

    // What can make an output: the same format first, woven or not.
    {"to UYVY", GST_PAD_SRC, "video/x-raw, format=UYVY, " FULL ", interlace-mode=progressive",
     nullptr, IN("UYVY") "; " IN("YUY2")},
    {"to I420", GST_PAD_SRC, "video/x-raw, format=I420, " FULL, nullptr,
     IN("I420") "; " IN("YV12")},
    {"to YV12, upstream offers woven I420", GST_PAD_SRC, "video/x-raw, format=YV12, " FULL,
     "video/x-raw, format=I420, interlace-mode=interleaved",
     "video/x-raw, format=(string)I420, " FULL ", interlace-mode=(string)interleaved"},
    {"to a woven output", GST_PAD_SRC,
     "video/x-raw, format=YUY2, " FULL ", interlace-mode=interleaved", nullptr, kRefused},
    {"to I420 364 wide", GST_PAD_SRC, "video/x-raw, format=I420, width=364, height=288", nullptr,
     kRefused},
};

TEST(FieldmendElementNegotiationTable, GivesTheOtherSideInOrderOrNothing) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        GstCaps* caps = gst_caps_from_string(row.caps);
        ASSERT_NE(caps, nullptr);
        GstCaps* filter = row.filter ? gst_caps_from_string(row.filter) : nullptr;
        GstCaps* result = fieldmend::TransformCaps(row.direction, caps, filter);
        ASSERT_NE(result, nullptr);
        if (row.expected == kRefused) {
            EXPECT_TRUE(gst_caps_is_empty(result)) << gst_caps_to_string(result);
        } else {
            GstCaps* expected = gst_caps_from_string(row.expected);
            ASSERT_NE(expected, nullptr);
            gchar* got = gst_caps_to_string(result);
            EXPECT_TRUE(gst_caps_is_strictly_equal(result, expected)) << got;
            g_free(got);
            gst_caps_unref(expected);
        }
        gst_caps_unref(result);
        if (filter) {
            gst_caps_unref(filter);
        }
        gst_caps_unref(caps);
    }
}

TEST(FieldmendElementNegotiationTable, OpenSizesKeepTheirRangesAndOrder) {
    GstCaps* caps = gst_caps_from_string(
        "video/x-raw, format=YUY2, width=[ 4, 2147483644, 4 ], height=[ 2, 2147483646, 2 ]");
    GstCaps* result = fieldmend::TransformCaps(GST_PAD_SINK, caps, nullptr);
    ASSERT_EQ(gst_caps_get_size(result), 2u);
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(result, 0), "format"), "YUY2");
    EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(result, 1), "format"), "UYVY");
    EXPECT_FALSE(gst_caps_is_fixed(result));
    gst_caps_unref(result);

    GstCaps* any = gst_caps_new_any();
    result = fieldmend::TransformCaps(GST_PAD_SINK, any, nullptr);
    GstCaps* sourceTemplate = gst_caps_from_string(FIELDMEND_SRC_CAPS);
    EXPECT_TRUE(gst_caps_is_equal(result, sourceTemplate));
    gst_caps_unref(sourceTemplate);
    gst_caps_unref(result);
    gst_caps_unref(any);
    gst_caps_unref(caps);
}

TEST(FieldmendElementNegotiationTable, CapsBecomeTheFilterMediaTypes) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 720, 576);
    GST_VIDEO_INFO_FPS_N(&info) = 25;
    GST_VIDEO_INFO_FPS_D(&info) = 1;
    fieldmend::MediaType type;
    ASSERT_TRUE(fieldmend::MediaTypeFromVideoInfo(info, &type));
    EXPECT_EQ(type.subtype, fieldmend::MEDIASUBTYPE_I420);
    EXPECT_EQ(type.lSampleSize, 720u * 576u * 3u / 2u);
    const auto format = fieldmend::ReadVideoFormat(type);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->bmiHeader.biWidth, 720);
    EXPECT_EQ(format->bmiHeader.biHeight, 576);
    EXPECT_EQ(format->bmiHeader.biCompression, fieldmend::kFourccI420);
    EXPECT_EQ(format->rcSource.right, 720);
    EXPECT_EQ(format->rcTarget.bottom, 576);
    const auto block = fieldmend::ReadFormat<fieldmend::VideoInfoHeader>(type);
    EXPECT_EQ(block->AvgTimePerFrame, 40'000'000);

    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 362, 288);
    ASSERT_TRUE(fieldmend::MediaTypeFromVideoInfo(info, &type));
    EXPECT_EQ(fieldmend::ReadVideoFormat(type)->bmiHeader.biWidth, 364);  // the padded line
    EXPECT_EQ(fieldmend::ReadVideoFormat(type)->rcSource.right, 362);     // the visible width

    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_NV12, 720, 576);
    EXPECT_FALSE(fieldmend::MediaTypeFromVideoInfo(info, &type));
    EXPECT_EQ(fieldmend::VideoFormatFromSubtype(fieldmend::MEDIASUBTYPE_IYUV),
              GST_VIDEO_FORMAT_I420);
}

}  // namespace
