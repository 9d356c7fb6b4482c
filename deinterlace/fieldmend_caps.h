// Caps of the fieldmend element and how they meet CDeinterlaceFilter: the media type of a
// negotiated stream, and the caps negotiation, which asks the filter itself what an input can
// become (its proposals in order, then the rest of the family it accepts) and what can make an
// output. GStreamer's I420 stands for both I420 and IYUV.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include "media_types.h"

namespace fieldmend {

// Packed widths are multiples of 4, planar ones of 8, heights even: the ranges say so, so that
// upstream picks a size the filter takes. Woven and progressive input alike; output progressive.
#define FIELDMEND_PACKED_CAPS                                                       \
    "video/x-raw, format=(string){ YUY2, UYVY }, width=(int)[ 4, 2147483644, 4 ], " \
    "height=(int)[ 2, 2147483646, 2 ], framerate=(fraction)[ 0/1, 2147483647/1 ]"
#define FIELDMEND_PLANAR_CAPS                                                       \
    "video/x-raw, format=(string){ I420, YV12 }, width=(int)[ 8, 2147483640, 8 ], " \
    "height=(int)[ 2, 2147483646, 2 ], framerate=(fraction)[ 0/1, 2147483647/1 ]"
#define FIELDMEND_SINK_CAPS                                                         \
    FIELDMEND_PACKED_CAPS                                                           \
    ", interlace-mode=(string){ progressive, interleaved }; " FIELDMEND_PLANAR_CAPS \
    ", interlace-mode=(string){ progressive, interleaved }"
#define FIELDMEND_SRC_CAPS                                                               \
    FIELDMEND_PACKED_CAPS ", interlace-mode=(string)progressive; " FIELDMEND_PLANAR_CAPS \
                          ", interlace-mode=(string)progressive"

// The filter's media type for a negotiated stream: rectangles of the visible size, biWidth the
// first plane's line length in pixels. False for a format the filter does not know.
bool MediaTypeFromVideoInfo(const GstVideoInfo& info, MediaType* type);

// GStreamer's format for a subtype; GST_VIDEO_FORMAT_UNKNOWN for one outside the five.
GstVideoFormat VideoFormatFromSubtype(const Guid& subtype);

// The caps the other pad can take for `caps` on the `direction` side, in order of preference,
// intersected with `filter` (which may be null). Caps that the filter refuses (a fixed size it
// does not take, a format it does not know) give empty caps. Never null; the caller owns them.
GstCaps* TransformCaps(GstPadDirection direction, GstCaps* caps, GstCaps* filter);

}  // namespace fieldmend
