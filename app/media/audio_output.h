// What the station's players share: which audio output they play to, and what a decoder's
// new pad carries.
#pragma once

#include <gst/gst.h>

#include <cstdlib>
#include <cstring>

namespace ovistra::media {

// "fake" in OVISTRA_AUDIO_SINK: play into a clocked fake sink (tests, machines without sound)
// rather than the machine's default audio output.
inline bool FakeAudioOutputWanted() {
    const char* value = std::getenv("OVISTRA_AUDIO_SINK");
    return value && std::strcmp(value, "fake") == 0;
}

// The pad's media type begins with `media` ("audio/", "video/").
inline bool PadCarries(GstPad* pad, const char* media) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) {
        caps = gst_pad_query_caps(pad, nullptr);
    }
    const bool match =
        caps && gst_caps_get_size(caps) > 0 &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), media);
    if (caps) {
        gst_caps_unref(caps);
    }
    return match;
}

}  // namespace ovistra::media
