#include "playback_graph.h"

#include <gst/app/gstappsink.h>

#include <utility>

#include "audio_output.h"
#include "frame_grabber.h"
#include "gst_ptr.h"

namespace ovistra::media {
namespace {

constexpr GstClockTime kOpenWait = 5 * GST_SECOND;
constexpr GstClockTime kSeekWait = 2 * GST_SECOND;

}  // namespace

PlaybackGraph::PlaybackGraph(FrameGrabber& grabber, std::function<void()> notify)
    : grabber_(grabber), notify_(std::move(notify)) {}

PlaybackGraph::~PlaybackGraph() {
    Close();
}

bool PlaybackGraph::Open(const std::string& path) {
    Close();
    GError* error = nullptr;
    // The pictures come out as the capture delivers them, whatever size the file has.
    GstElement* pipeline = gst_parse_launch(
        "filesrc name=source ! decodebin name=decoder "
        "videoconvert name=video ! videoscale ! video/x-raw,format=YUY2,width=640,height=480 ! "
        "appsink name=pictures sync=true max-buffers=2",
        &error);
    if (!pipeline) {
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    GstPtr<GstElement> source = AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline), "source"));
    GstPtr<GstElement> decoder = AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline), "decoder"));
    GstPtr<GstElement> sink = AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline), "pictures"));
    GstPtr<GstElement> video = AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline), "video"));
    g_object_set(source.get(), "location", path.c_str(), nullptr);
    videoIn_ = video.get();
    soundLinked_ = false;
    g_signal_connect(decoder.get(), "pad-added", G_CALLBACK(OnDecodedPad), this);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* appsink, gpointer self) {
        return OnSample(GST_ELEMENT(appsink), self);
    };
    callbacks.new_preroll = [](GstAppSink* appsink, gpointer self) {
        return OnPreroll(GST_ELEMENT(appsink), self);
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, this, nullptr);
    GstPtr<GstBus> bus = AdoptGst(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), OnBusMessage, this, nullptr);

    pipeline_ = pipeline;
    rate_ = 1.0;
    // Prerolling finds a file that cannot be played now, and shows its first picture. An error
    // ends the wait at once: the state change alone would wait it out.
    const GstStateChangeReturn change = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    bool prerolled = change == GST_STATE_CHANGE_SUCCESS || change == GST_STATE_CHANGE_NO_PREROLL;
    if (change == GST_STATE_CHANGE_ASYNC) {
        GstMessage* outcome = gst_bus_timed_pop_filtered(
            bus.get(), kOpenWait,
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
        prerolled = outcome && GST_MESSAGE_TYPE(outcome) == GST_MESSAGE_ASYNC_DONE;
        if (outcome) {
            gst_message_unref(outcome);
        }
    }
    if (!prerolled) {
        Close();
        return false;
    }
    TakeEvents();  // nothing from the preroll is news to the owner
    return true;
}

void PlaybackGraph::Close() {
    if (!pipeline_) {
        return;
    }
    // The streaming threads end with NULL; only then does the handler go.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    GstPtr<GstBus> bus = AdoptGst(gst_element_get_bus(pipeline_));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    gst_object_unref(std::exchange(pipeline_, nullptr));
    videoIn_ = nullptr;
    rate_ = 1.0;
}

bool PlaybackGraph::Play() {
    return pipeline_ &&
           gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool PlaybackGraph::Pause() {
    return pipeline_ &&
           gst_element_set_state(pipeline_, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

std::optional<double> PlaybackGraph::Position() const {
    gint64 ns = 0;
    if (!pipeline_ || !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &ns) || ns < 0) {
        return std::nullopt;
    }
    return static_cast<double>(ns) / GST_SECOND;
}

std::optional<double> PlaybackGraph::Duration() const {
    gint64 ns = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &ns) || ns <= 0) {
        return std::nullopt;
    }
    return static_cast<double>(ns) / GST_SECOND;
}

bool PlaybackGraph::Seek(double seconds) {
    if (!pipeline_ || !(seconds >= 0)) {
        return false;
    }
    const auto ns = static_cast<gint64>(seconds * GST_SECOND);
    const bool done =
        gst_element_seek(pipeline_, rate_, GST_FORMAT_TIME,
                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                         GST_SEEK_TYPE_SET, ns, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    // Paused, the flush prerolls again: the new picture is there when this returns.
    gst_element_get_state(pipeline_, nullptr, nullptr, kSeekWait);
    return done;
}

bool PlaybackGraph::SetRate(double rate) {
    const std::optional<double> position = Position();
    if (!pipeline_ || !(rate > 0) || !position) {
        return false;
    }
    const bool done = gst_element_seek(
        pipeline_, rate, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
        static_cast<gint64>(*position * GST_SECOND), GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (done) {
        rate_ = rate;
    }
    // The flush prerolls again; until it has, the graph cannot say where it is.
    gst_element_get_state(pipeline_, nullptr, nullptr, kSeekWait);
    return done;
}

std::vector<PlaybackGraph::Event> PlaybackGraph::TakeEvents() {
    std::vector<Event> events;
    if (!pipeline_) {
        return events;
    }
    GstPtr<GstBus> bus = AdoptGst(gst_element_get_bus(pipeline_));
    while (GstMessage* message = gst_bus_pop(bus.get())) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            events.push_back(Event::Complete);
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            events.push_back(Event::Error);
        }
        gst_message_unref(message);
    }
    return events;
}

void PlaybackGraph::OnDecodedPad(GstElement* /*decoder*/, GstPad* pad, gpointer self) {
    auto* graph = static_cast<PlaybackGraph*>(self);
    if (PadCarries(pad, "video/")) {
        GstPtr<GstPad> in = AdoptGst(gst_element_get_static_pad(graph->videoIn_, "sink"));
        if (!gst_pad_is_linked(in.get())) {
            gst_pad_link(pad, in.get());
        }
    } else if (PadCarries(pad, "audio/") && !graph->soundLinked_) {
        graph->AddSoundBranch(pad);
    }
}

void PlaybackGraph::AddSoundBranch(GstPad* pad) {
    // Made only when the file has sound: a sink without data would never let the graph pause.
    GError* error = nullptr;
    const std::string description =
        std::string("queue ! audioconvert ! audioresample ! ") +
        (FakeAudioOutputWanted() ? "fakesink sync=true" : "autoaudiosink");
    GstElement* branch = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
    g_clear_error(&error);
    if (!branch) {
        return;
    }
    gst_bin_add(GST_BIN(pipeline_), branch);
    GstPtr<GstPad> in = AdoptGst(gst_element_get_static_pad(branch, "sink"));
    if (gst_pad_link(pad, in.get()) == GST_PAD_LINK_OK) {
        soundLinked_ = true;
    }
    gst_element_sync_state_with_parent(branch);
}

GstFlowReturn PlaybackGraph::OnSample(GstElement* sink, gpointer self) {
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    static_cast<PlaybackGraph*>(self)->StoreSample(sample);
    return sample ? GST_FLOW_OK : GST_FLOW_EOS;
}

GstFlowReturn PlaybackGraph::OnPreroll(GstElement* sink, gpointer self) {
    GstSample* sample = gst_app_sink_pull_preroll(GST_APP_SINK(sink));
    static_cast<PlaybackGraph*>(self)->StoreSample(sample);
    return GST_FLOW_OK;
}

void PlaybackGraph::StoreSample(GstSample* sample) {
    if (!sample) {
        return;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        grabber_.Store(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
}

GstBusSyncReply PlaybackGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    auto* graph = static_cast<PlaybackGraph*>(self);
    if ((type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) && graph->notify_) {
        graph->notify_();
    }
    return GST_BUS_PASS;
}

}  // namespace ovistra::media
