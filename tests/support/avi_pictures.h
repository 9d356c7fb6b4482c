// Pictures in an AVI file, counted twice over: by walking its chunks as a scanning player does
// (what was written whole), and through the media framework's own reader (what a player shows:
// every picture played, or for a large file the pictures its index offers and its last one).
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QFile>
#include <QString>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework_hand_over.h"

namespace ovistra::testing {

struct WrittenPictures {
    int total = 0;
    int firstPart = 0;  // before the first "RIFF AVIX"
};

// Complete picture chunks ("##db", "##dc") in every part, trusting no list size: RIFF and the
// data lists are entered, every other chunk is stepped over by its size.
inline WrittenPictures CountWrittenPictures(const QString& path) {
    WrittenPictures pictures;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return pictures;
    }
    const uint64_t length = static_cast<uint64_t>(file.size());
    bool later = false;
    for (uint64_t at = 0; at + 12 <= length;) {
        char head[12];
        if (!file.seek(static_cast<qint64>(at)) || file.read(head, 12) != 12) {
            break;
        }
        uint32_t size = 0;
        std::memcpy(&size, head + 4, 4);
        const bool riff = std::memcmp(head, "RIFF", 4) == 0;
        if (riff || (std::memcmp(head, "LIST", 4) == 0 && std::memcmp(head + 8, "movi", 4) == 0)) {
            later = later || (riff && at > 0);
            at += 12;
            continue;
        }
        const uint64_t next = at + 8 + size + (size & 1);
        if (next > length) {
            break;
        }
        if (head[0] >= '0' && head[0] <= '9' && head[2] == 'd' &&
            (head[3] == 'b' || head[3] == 'c')) {
            ++pictures.total;
            pictures.firstPart += later ? 0 : 1;
        }
        at = next;
    }
    return pictures;
}

// The pictures the framework's AVI reader delivers from the start to the end of the file.
inline int PlayedPictures(const QString& path) {
    gst_init(nullptr, nullptr);
    const std::string line = "filesrc location=\"" + path.toStdString() +
                             "\" ! avidemux name=d d.video_0 ! queue ! fakesink name=v sync=false "
                             "signal-handoffs=true d.audio_0 ! queue ! fakesink sync=false";
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    if (!pipeline) {
        return -1;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "v");
    std::atomic<int> pictures = 0;
    media::GivenToFramework(&pictures);
    g_signal_connect(sink, "handoff",
                     G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer count) {
                         media::TakenFromFramework(count);
                         ++*static_cast<std::atomic<int>*>(count);
                     }),
                     &pictures);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool played = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) {
        gst_message_unref(end);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return played ? pictures.load() : -1;
}

struct PlayerView {
    int64_t pictures = -1;           // the picture stream's length in pictures
    double lastPictureSeconds = -1;  // where a jump to the last of them lands
};

// The framework's reader, paused on the file: the pictures its index offers, then a jump to
// the last one at `fps`; nothing more of the file is read.
inline PlayerView ViewAsPlayer(const QString& path, int fps) {
    gst_init(nullptr, nullptr);
    const std::string line = "filesrc location=\"" + path.toStdString() +
                             "\" ! avidemux name=d d.video_0 ! queue ! appsink name=v sync=false "
                             "d.audio_0 ! queue ! fakesink sync=false";
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    PlayerView view;
    if (!pipeline) {
        return view;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "v");
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gint64 pictures = 0;
    if (gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND) ==
            GST_STATE_CHANGE_SUCCESS &&
        gst_element_query_duration(sink, GST_FORMAT_DEFAULT, &pictures) && pictures > 0) {
        view.pictures = pictures;
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        if (gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags,
                                    (pictures - 1) * GST_SECOND / fps)) {
            if (GstSample* last =
                    gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 30 * GST_SECOND)) {
                view.lastPictureSeconds =
                    double(GST_BUFFER_PTS(gst_sample_get_buffer(last))) / GST_SECOND;
                gst_sample_unref(last);
            }
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return view;
}

}  // namespace ovistra::testing
