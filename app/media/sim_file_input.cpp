#include "sim_file_input.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "capture_device.h"

GST_DEBUG_CATEGORY_STATIC(ovistra_sim_file_debug);
#define GST_CAT_DEFAULT ovistra_sim_file_debug

namespace ovistra::media {

// What the input's callbacks share with it. The callbacks and the bus handler each hold a
// reference of their own, so none of them ever sees it freed.
struct SimFileInputState {
    // --- guarded by lock
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<uint8_t> latest;  // kFrameBytes: the latest picture
    std::string error;            // the first error, one line
    bool prerolled = false;
    bool noVideo = false;
    bool opening = true;             // Open is still waiting for the first picture
    GstElement* pipeline = nullptr;  // not owned; null once the input goes away
    // --- pipeline's streaming threads only
    GstElement* convert = nullptr;  // not owned: the head of the video branch
    // --- any thread (atomics)
    std::atomic<bool> hasVideo{false};
    std::atomic<bool> failed{false};
    std::atomic<uint64_t> pictures{0};

    SimFileInputState() : latest(kFrameBytes) {
        for (size_t i = 0; i < kFrameBytes; i += 2) {
            latest[i] = 16;
            latest[i + 1] = 128;
        }
    }
};

namespace {

using StateRef = std::shared_ptr<SimFileInputState>;

constexpr const char* kNoVideoMessage = "ovistra-sim-no-video";
constexpr const char* kPictureCaps =
    "video/x-raw,format=YUY2,width=640,height=480,framerate=25/1,pixel-aspect-ratio=1/1";

void InitDebug() {
    static const bool once = [] {
        GST_DEBUG_CATEGORY_INIT(ovistra_sim_file_debug, "ovistrasimfile", 0,
                                "Ovistra simulated device: file inputs");
        return true;
    }();
    (void)once;
}

std::string OneLine(const char* text) {
    std::string line = text != nullptr ? text : "unknown error";
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line;
}

// A reference to the state for a callback's user data, released by the callback's owner.
gpointer NewStateRef(const StateRef& state) {
    return new StateRef(state);
}
void DeleteStateRef(gpointer data) {
    delete static_cast<StateRef*>(data);
}
void DeleteStateRefClosure(gpointer data, GClosure* /*closure*/) {
    DeleteStateRef(data);
}
SimFileInputState& StateOf(gpointer data) {
    return **static_cast<StateRef*>(data);
}

// --- the pipeline's own threads

bool IsVideoCaps(GstCaps* caps) {
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        return false;
    }
    return g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
}

// Streams other than video are not decoded: their pads appear undecoded and stay unlinked.
gboolean OnAutoplugContinue(GstElement* /*bin*/, GstPad* /*pad*/, GstCaps* caps,
                            gpointer /*data*/) {
    if (caps == nullptr || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        return TRUE;
    }
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    return !(g_str_has_prefix(name, "audio/") || g_str_has_prefix(name, "text/") ||
             g_str_has_prefix(name, "subpicture/") || g_str_has_prefix(name, "closedcaption/"));
}

void OnPadAdded(GstElement* /*decoder*/, GstPad* pad, gpointer data) {
    SimFileInputState& state = StateOf(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (caps == nullptr) {
        caps = gst_pad_query_caps(pad, nullptr);
    }
    const bool video = IsVideoCaps(caps);
    if (caps != nullptr) {
        gst_caps_unref(caps);
    }
    if (!video || state.hasVideo.load()) {
        return;  // the first video stream only
    }
    GstPad* sink = gst_element_get_static_pad(state.convert, "sink");
    if (gst_pad_link(pad, sink) == GST_PAD_LINK_OK) {
        state.hasVideo = true;
    }
    gst_object_unref(sink);
}

void OnNoMorePads(GstElement* decoder, gpointer data) {
    if (!StateOf(data).hasVideo.load()) {
        gst_element_post_message(
            decoder, gst_message_new_application(GST_OBJECT(decoder),
                                                 gst_structure_new_empty(kNoVideoMessage)));
    }
}

// Copies the sample's picture into the state's buffer.
void KeepPicture(SimFileInputState& state, GstSample* sample) {
    if (sample == nullptr) {
        return;
    }
    GstVideoInfo info;
    GstVideoFrame frame;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (caps == nullptr || buffer == nullptr || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_WIDTH(&info) != kFrameWidth ||
        GST_VIDEO_INFO_HEIGHT(&info) != kFrameHeight ||
        !gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
        gst_sample_unref(sample);
        return;
    }
    const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    {
        std::lock_guard guard(state.lock);
        if (srcStride == kFrameStride) {
            std::memcpy(state.latest.data(), src, kFrameBytes);
        } else {
            for (int line = 0; line < kFrameHeight; ++line) {
                std::memcpy(&state.latest[size_t(line) * kFrameStride],
                            src + ptrdiff_t(line) * srcStride, kFrameStride);
            }
        }
    }
    state.pictures.fetch_add(1);
    gst_video_frame_unmap(&frame);
    gst_sample_unref(sample);
}

GstFlowReturn OnNewPreroll(GstAppSink* sink, gpointer data) {
    KeepPicture(StateOf(data), gst_app_sink_pull_preroll(sink));
    return GST_FLOW_OK;
}

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
    KeepPicture(StateOf(data), gst_app_sink_pull_sample(sink));
    return GST_FLOW_OK;
}

// --- GStreamer's thread pool (gst_element_call_async): state changes and seeks of the pipeline

void StopDecoding(GstElement* pipeline, gpointer /*data*/) {
    gst_element_set_state(pipeline, GST_STATE_NULL);
}

void PlayFromStart(GstElement* pipeline, gpointer /*data*/) {
    if (gst_element_seek_simple(
            pipeline, GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0)) {
        return;
    }
    // Not seekable: start it again, unless it was stopped meanwhile.
    GST_OBJECT_LOCK(pipeline);
    const bool playing = GST_STATE_TARGET(pipeline) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(pipeline);
    if (playing) {
        gst_element_set_state(pipeline, GST_STATE_READY);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    }
}

// --- any thread that posts on the input's bus. Every message ends here: nothing of this
// pipeline reaches another bus or the application's main loop.

GstElement* RunningPipeline(SimFileInputState& state) {
    std::lock_guard guard(state.lock);
    if (state.opening || state.pipeline == nullptr) {
        return nullptr;
    }
    return static_cast<GstElement*>(gst_object_ref(state.pipeline));
}

GstBusSyncReply OnBusMessage(GstBus* /*bus*/, GstMessage* message, gpointer data) {
    SimFileInputState& state = StateOf(data);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR: {
            GError* error = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(message, &error, &debug);
            const std::string text = OneLine(error != nullptr ? error->message : nullptr);
            GST_WARNING("decoding stopped: %s (%s)", text.c_str(), debug != nullptr ? debug : "");
            g_clear_error(&error);
            g_free(debug);
            {
                std::lock_guard guard(state.lock);
                if (state.error.empty()) {
                    state.error = text;
                }
            }
            state.failed = true;
            state.changed.notify_all();
            if (GstElement* pipeline = RunningPipeline(state)) {
                gst_element_call_async(pipeline, StopDecoding, nullptr, nullptr);
                gst_object_unref(pipeline);
            }
            break;
        }
        case GST_MESSAGE_EOS:
            if (GstElement* pipeline = RunningPipeline(state)) {
                gst_element_call_async(pipeline, PlayFromStart, nullptr, nullptr);
                gst_object_unref(pipeline);
            }
            break;
        case GST_MESSAGE_ASYNC_DONE: {
            std::lock_guard guard(state.lock);
            if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(state.pipeline)) {
                state.prerolled = true;
            }
            state.changed.notify_all();
            break;
        }
        case GST_MESSAGE_APPLICATION:
            if (gst_message_has_name(message, kNoVideoMessage)) {
                std::lock_guard guard(state.lock);
                state.noVideo = true;
                state.changed.notify_all();
            }
            break;
        default:
            break;
    }
    return GST_BUS_DROP;
}

// Takes the pipeline down and drops the handler's reference to the state.
void DestroyPipeline(GstElement* pipeline, SimFileInputState& state) {
    {
        std::lock_guard guard(state.lock);
        state.pipeline = nullptr;
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
}

// Why `path` cannot be played, checked before GStreamer for a plain answer; empty when it may.
std::string FileProblem(const std::string& path) {
    if (path.empty()) {
        return "no file name";
    }
    if (::access(path.c_str(), F_OK) != 0) {
        return std::string("cannot open the file: ") + std::strerror(errno);
    }
    if (!g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) {
        return "not a regular file";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return std::string("cannot read the file: ") + std::strerror(errno);
    }
    return {};
}

}  // namespace

std::shared_ptr<SimFileInput> SimFileInput::Open(const std::string& path, std::string* error) {
    InitDebug();
    std::string problem = FileProblem(path);
    GstElement* pipeline = nullptr;
    auto state = std::make_shared<SimFileInputState>();
    if (!problem.empty()) {
        goto failed;
    }
    {
        GError* uriError = nullptr;
        gchar* uri = gst_filename_to_uri(path.c_str(), &uriError);
        if (uri == nullptr) {
            problem = "no file name GStreamer can take: " +
                      OneLine(uriError != nullptr ? uriError->message : nullptr);
            g_clear_error(&uriError);
            goto failed;
        }
        pipeline = gst_pipeline_new("ovistra-sim-file");
        gst_object_ref_sink(pipeline);
        GstElement* decoder = gst_element_factory_make("uridecodebin", nullptr);
        GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
        GstElement* scale = gst_element_factory_make("videoscale", nullptr);
        GstElement* rate = gst_element_factory_make("videorate", nullptr);
        GstElement* format = gst_element_factory_make("capsfilter", nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        if (decoder == nullptr || convert == nullptr || scale == nullptr || rate == nullptr ||
            format == nullptr || sink == nullptr) {
            for (GstElement* element : {decoder, convert, scale, rate, format, sink}) {
                if (element != nullptr) {
                    gst_object_unref(gst_object_ref_sink(element));
                }
            }
            g_free(uri);
            problem = "GStreamer's decoding elements are missing";
            goto failed;
        }
        g_object_set(decoder, "uri", uri, nullptr);
        g_free(uri);
        GstCaps* caps = gst_caps_from_string(kPictureCaps);
        g_object_set(format, "caps", caps, nullptr);
        gst_caps_unref(caps);
        // In real time; the picture is copied out in the callbacks, so keep no sample of ours.
        g_object_set(sink, "sync", TRUE, "enable-last-sample", FALSE, "emit-signals", FALSE,
                     nullptr);
        gst_bin_add_many(GST_BIN(pipeline), decoder, convert, scale, rate, format, sink, nullptr);
        if (!gst_element_link_many(convert, scale, rate, format, sink, nullptr)) {
            problem = "cannot build the decoding pipeline";
            goto failed;
        }

        state->pipeline = pipeline;
        state->convert = convert;
        g_signal_connect_data(decoder, "autoplug-continue", G_CALLBACK(OnAutoplugContinue), nullptr,
                              nullptr, GConnectFlags(0));
        g_signal_connect_data(decoder, "pad-added", G_CALLBACK(OnPadAdded), NewStateRef(state),
                              DeleteStateRefClosure, GConnectFlags(0));
        g_signal_connect_data(decoder, "no-more-pads", G_CALLBACK(OnNoMorePads), NewStateRef(state),
                              DeleteStateRefClosure, GConnectFlags(0));
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_preroll = OnNewPreroll;
        callbacks.new_sample = OnNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, NewStateRef(state),
                                   DeleteStateRef);
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, OnBusMessage, NewStateRef(state), DeleteStateRef);
        gst_object_unref(bus);

        // The first picture, an error, or no video stream: whichever comes first.
        if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            std::lock_guard guard(state->lock);
            problem = state->error.empty() ? "cannot be played" : state->error;
            goto failed;
        }
        std::unique_lock lock(state->lock);
        const bool answered = state->changed.wait_for(
            lock, std::chrono::milliseconds(kOpenTimeoutMs),
            [&] { return state->prerolled || state->noVideo || !state->error.empty(); });
        if (!state->error.empty()) {
            problem = state->error;
        } else if (state->noVideo) {
            problem = "no video stream GStreamer can decode";
        } else if (!answered) {
            problem = "no picture within " + std::to_string(kOpenTimeoutMs / 1000) + " s";
        } else if (state->pictures.load() == 0) {
            problem = "no pictures in the video stream";
        }
        if (!problem.empty()) {
            lock.unlock();
            goto failed;
        }
        state->opening = false;
    }
    return std::shared_ptr<SimFileInput>(new SimFileInput(path, pipeline, state));

failed:
    GST_INFO("cannot open %s: %s", path.c_str(), problem.c_str());
    if (pipeline != nullptr) {
        DestroyPipeline(pipeline, *state);
    }
    if (error != nullptr) {
        *error = problem;
    }
    return nullptr;
}

SimFileInput::SimFileInput(std::string path, GstElement* pipeline,
                           std::shared_ptr<SimFileInputState> state)
    : path_(std::move(path)), pipeline_(pipeline), state_(std::move(state)) {}

SimFileInput::~SimFileInput() {
    DestroyPipeline(pipeline_, *state_);
}

void SimFileInput::Start() {
    if (!state_->failed.load()) {
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
}

void SimFileInput::Stop() {
    if (!state_->failed.load()) {
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    }
}

void SimFileInput::CopyLatest(uint8_t* frame, int rowShift) const {
    rowShift = std::clamp(rowShift, 0, kFrameHeight - 1);
    std::lock_guard guard(state_->lock);
    const uint8_t* picture = state_->latest.data();
    const size_t headBytes = size_t(kFrameHeight - rowShift) * kFrameStride;
    std::memcpy(frame, picture + size_t(rowShift) * kFrameStride, headBytes);
    if (rowShift > 0) {
        std::memcpy(frame + headBytes, picture, size_t(rowShift) * kFrameStride);
    }
}

void SimFileInput::PostErrorForTesting(const std::string& text) {
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, text.c_str());
    gst_element_post_message(pipeline_,
                             gst_message_new_error(GST_OBJECT(pipeline_), error, "test"));
    g_error_free(error);
}

uint64_t SimFileInput::PicturesDecoded() const {
    return state_->pictures.load();
}

bool SimFileInput::Failed() const {
    return state_->failed.load();
}

std::string SimFileInput::LastError() const {
    std::lock_guard guard(state_->lock);
    return state_->error;
}

}  // namespace ovistra::media
