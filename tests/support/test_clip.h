// Short AVI clips for the players' tests, written by the media framework itself.
#pragma once

#include <gst/gst.h>

#include <string>

namespace ovistra::testing {

// `frames` pictures at 25 per second (a moving ball), with a sound stream when `sound` is set;
// a key picture every `keyEveryPictures` (0: the encoder's own spacing).
inline bool MakeClip(const std::string& path, int frames = 50, bool sound = true,
                     int keyEveryPictures = 0) {
    gst_init(nullptr, nullptr);
    const std::string keys =
        keyEveryPictures > 0 ? " gop-size=" + std::to_string(keyEveryPictures) : "";
    std::string line = "videotestsrc num-buffers=" + std::to_string(frames) +
                       " pattern=ball ! video/x-raw,width=320,height=240,framerate=25/1 ! "
                       "avenc_mpeg4" +
                       keys + " ! avimux name=mux ! filesink location=\"" + path + "\"";
    if (sound) {
        // 4410 samples of 44.1 kHz are a tenth of a second: as long as the pictures.
        line += " audiotestsrc num-buffers=" + std::to_string(frames * 10 / 25) +
                " samplesperbuffer=4410 ! audioconvert ! mux.";
    }
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

}  // namespace ovistra::testing
