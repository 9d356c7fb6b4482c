// What a recorded file holds, as a player finds it: size, rate, length, sound, and the
// brightness near the top and bottom of its first picture.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>

#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace ovistra::testing {

struct FileFacts {
    int width = 0;
    int height = 0;
    double fps = 0;
    double seconds = 0;
    int topLuma = -1;     // of the first picture, near its top
    int bottomLuma = -1;  // and near its bottom
    int audioStreams = 0;
};

// Every picture of a file, in order, in a raw `format` ("BGR", "GRAY8"), lines top down, until
// `visit` returns false.
inline void ForEachPicture(const QString& path, const char* format,
                           const std::function<bool(const uint8_t*, size_t)>& visit) {
    gst_init(nullptr, nullptr);
    const std::string line = "filesrc location=\"" + path.toStdString() +
                             "\" ! decodebin ! videoconvert ! video/x-raw,format=" + format +
                             " ! appsink name=out sync=false";
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    bool more = true;
    while (more) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
        if (!sample) {
            break;
        }
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            more = visit(map.data, map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
}

// The first picture of a file in a raw `format`; empty when none could be read.
inline std::vector<uint8_t> FirstPicture(const QString& path, const char* format) {
    std::vector<uint8_t> bytes;
    ForEachPicture(path, format, [&bytes](const uint8_t* data, size_t size) {
        bytes.assign(data, data + size);
        return false;
    });
    return bytes;
}

inline FileFacts Inspect(const QString& path) {
    gst_init(nullptr, nullptr);
    FileFacts facts;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
    const std::string uri = "file://" + path.toStdString();
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri.c_str(), &error);
    if (info) {
        facts.seconds = gst_discoverer_info_get_duration(info) / double(GST_SECOND);
        GList* videos = gst_discoverer_info_get_video_streams(info);
        if (videos) {
            auto* video = GST_DISCOVERER_VIDEO_INFO(videos->data);
            facts.width = gst_discoverer_video_info_get_width(video);
            facts.height = gst_discoverer_video_info_get_height(video);
            facts.fps = double(gst_discoverer_video_info_get_framerate_num(video)) /
                        gst_discoverer_video_info_get_framerate_denom(video);
        }
        gst_discoverer_stream_info_list_free(videos);
        GList* sounds = gst_discoverer_info_get_audio_streams(info);
        facts.audioStreams = static_cast<int>(g_list_length(sounds));
        gst_discoverer_stream_info_list_free(sounds);
        gst_discoverer_info_unref(info);
    }
    g_clear_error(&error);
    g_object_unref(discoverer);

    const std::vector<uint8_t> grey = FirstPicture(path, "GRAY8");
    if (grey.size() >= size_t{640} * 480) {
        facts.topLuma = grey[20 * 640 + 320];
        facts.bottomLuma = grey[460 * 640 + 320];
    }
    return facts;
}

// How long the pictures and the sound of an AVI file with both last as a player reads them: the
// pictures counted at `fps`, the sound's samples decoded at a known rate. Zeros when unreadable.
struct StreamLengths {
    double pictureSeconds = 0;
    double soundSeconds = 0;
};

inline StreamLengths MeasureStreams(const QString& path, double fps) {
    gst_init(nullptr, nullptr);
    const std::string line = "filesrc location=\"" + path.toStdString() +
                             "\" ! avidemux name=d d.video_0 ! queue ! fakesink name=v "
                             "d.audio_0 ! queue ! decodebin ! audioconvert ! audioresample ! "
                             "audio/x-raw,format=S16LE,channels=1,rate=8000 ! fakesink name=a";
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    std::atomic<uint64_t> pictures{0};
    std::atomic<uint64_t> soundBytes{0};
    const auto watch = [pipeline](const char* name, GstPadProbeCallback probe, void* counter) {
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, probe, counter, nullptr);
        gst_object_unref(pad);
        gst_object_unref(sink);
    };
    watch("v", [](GstPad*, GstPadProbeInfo*, gpointer count) {
        *static_cast<std::atomic<uint64_t>*>(count) += 1;
        return GST_PAD_PROBE_OK;
    }, &pictures);
    watch("a", [](GstPad*, GstPadProbeInfo* info, gpointer count) {
        *static_cast<std::atomic<uint64_t>*>(count) +=
            gst_buffer_get_size(GST_PAD_PROBE_INFO_BUFFER(info));
        return GST_PAD_PROBE_OK;
    }, &soundBytes);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool read = end != nullptr && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end) {
        gst_message_unref(end);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (!read || fps <= 0) {
        return {};
    }
    return {pictures / fps, soundBytes / 2.0 / 8000};
}

}  // namespace ovistra::testing
