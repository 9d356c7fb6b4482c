#include <gst/gst.h>

#include "gstfieldmend.h"

#ifndef PACKAGE
#define PACKAGE "ovistra"
#endif

static gboolean plugin_init(GstPlugin* plugin) {
    return GST_ELEMENT_REGISTER(fieldmend, plugin);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, fieldmend,
                  "Line-blend deinterlacing of woven video", plugin_init, FIELDMEND_VERSION,
                  "Proprietary", "Ovistra", "Ovistra")
