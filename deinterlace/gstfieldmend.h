// The fieldmend element: a GStreamer video filter driven by CDeinterlaceFilter.
#pragma once

#include <gst/gst.h>
#include <gst/video/gstvideofilter.h>

G_BEGIN_DECLS

#define GST_TYPE_FIELDMEND (gst_fieldmend_get_type())
G_DECLARE_FINAL_TYPE(GstFieldmend, gst_fieldmend, GST, FIELDMEND, GstVideoFilter)

GST_ELEMENT_REGISTER_DECLARE(fieldmend);

G_END_DECLS
