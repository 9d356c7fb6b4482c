#include "c_recorder.h"

#include <gst/app/gstappsrc.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "framework_hand_over.h"
#include "local_clock.h"
#include "yuy2_to_rgb24.h"

namespace ovistra {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kBitsPerPixel = 24;
constexpr int kStride = kWidth * kBitsPerPixel / 8;
constexpr size_t kPictureBytes = size_t{kStride} * kHeight;
constexpr size_t kQueueBytes = kPictureBytes * 8;
constexpr const char* kFallbackEncoders[] = {"avenc_mpeg4", "jpegenc"};
constexpr float kEncoderQuantizer = 4.0F;
constexpr uint32_t kKeyPictureEveryMs = 10000;

bool HasFactory(const std::string& name) {
    GstElementFactory* factory = gst_element_factory_find(name.c_str());
    if (factory) {
        gst_object_unref(factory);
    }
    return factory != nullptr;
}

}  // namespace

CRecorder::CRecorder() = default;

CRecorder::~CRecorder() {
    Teardown();
    picture_.reset();
    if (pool_) {
        gst_buffer_pool_set_active(pool_.get(), FALSE);
    }
}

void CRecorder::SetFrameInterval(uint32_t intervalMs) {
    intervalMs_ = intervalMs == 0 ? 40 : intervalMs;
}

void CRecorder::EnableTimeStamp() {
    stampOn_ = stamp_.SetBitsPerPixel(kBitsPerPixel);
}

void CRecorder::SetVideoCompressor(std::string factoryName) {
    requestedEncoder_ = std::move(factoryName);
}

void CRecorder::SetFileName(const QString& path) {
    fileName_ = path;
}

bool CRecorder::BuildGraph() {
    Teardown();
    encoderInUse_.clear();
    soundOn_ = false;
    if (!requestedEncoder_.empty() && HasFactory(requestedEncoder_)) {
        encoderInUse_ = requestedEncoder_;
    } else {
        for (const char* fallback : kFallbackEncoders) {
            if (HasFactory(fallback)) {
                encoderInUse_ = fallback;
                break;
            }
        }
    }
    pipeline_ = media::AdoptGst(gst_pipeline_new("recorder"));
    source_ = gst_element_factory_make("appsrc", "Video Capture");
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* encode = encoderInUse_.empty()
                             ? gst_element_factory_make("identity", "Encode")
                             : gst_element_factory_make(encoderInUse_.c_str(), "Encode");
    if (encode && encoderInUse_.starts_with("avenc_") &&
        g_object_class_find_property(G_OBJECT_GET_CLASS(encode), "quantizer")) {
        // A constant quality: the encoders' default rate leaves a smeared picture and an
        // unreadable time stamp.
        gst_util_set_object_arg(G_OBJECT(encode), "pass", "quant");
        g_object_set(encode, "quantizer", kEncoderQuantizer, nullptr);
    }
    if (encode && g_object_class_find_property(G_OBJECT_GET_CLASS(encode), "gop-size")) {
        // Most samples repeat a picture: a key picture every ten seconds, not every twelve
        // samples, keeps files small and playback still finds a start nearby.
        g_object_set(encode, "gop-size", static_cast<int>(kKeyPictureEveryMs / intervalMs_),
                     nullptr);
    }
    GstElement* mux = gst_element_factory_make("avimux", nullptr);
    sink_ = gst_element_factory_make(writerFactory_.c_str(), nullptr);
    if (!source_ || !convert || !encode || !mux || !sink_) {
        for (GstElement* e : {source_, convert, encode, mux, sink_}) {
            if (e) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        source_ = sink_ = nullptr;
        pipeline_.reset();
        return false;
    }
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT,
                            kWidth, "height", G_TYPE_INT, kHeight, "framerate", GST_TYPE_FRACTION,
                            1000, static_cast<int>(intervalMs_), nullptr);
    g_object_set(source_, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, "block", FALSE,
                 "max-bytes", static_cast<guint64>(kQueueBytes), nullptr);
    gst_caps_unref(caps);
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink_), "location")) {
        g_object_set(sink_, "location", fileName_.toUtf8().constData(), nullptr);
    }
    g_object_set(sink_, "async", FALSE, "sync", FALSE, nullptr);
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink_), "buffer-mode")) {
        // Each chunk reaches the kernel as it is written, so a killed station loses at most
        // what the muxer still holds.
        gst_util_set_object_arg(G_OBJECT(sink_), "buffer-mode", "unbuffered");
    }
    gst_bin_add_many(GST_BIN(pipeline_.get()), source_, convert, encode, mux, sink_, nullptr);
    if (!gst_element_link_many(source_, convert, encode, mux, sink_, nullptr)) {
        Teardown();
        return false;
    }
    shortcut_.Attach(convert);
    if (audioOn_) {
        if (!audioInputs_) {
            audioInputs_ = std::make_shared<SystemAudioInputList>();
        }
        soundOn_ = AddAudioBranch(GST_BIN(pipeline_.get()), mux, *audioInputs_);
    }
    return true;
}

bool CRecorder::Run() {
    if (!pipeline_) {
        return false;
    }
    samples_ = 0;
    // Each file's first sample goes through the converter, which starts afresh.
    shortcut_.Reset();
    return gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool CRecorder::Stop() {
    if (!pipeline_) {
        return false;
    }
    GstState state = GST_STATE_NULL;
    gst_element_get_state(pipeline_.get(), &state, nullptr, 0);
    if (state != GST_STATE_PLAYING && state != GST_STATE_PAUSED) {
        // Nothing flows, so no end of stream would ever arrive.
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        return false;
    }
    if (Fault() != RecorderFault::None) {
        // The road to the writer is broken: no end of stream would reach it.
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        return false;
    }
    if (samples_ == 0) {
        // A file without a single picture would not play; it gets the last one (or black).
        PushFrame(nullptr, false);
    }
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_.get()));
    // Only what happens from here on counts: an old error would end the wait at once.
    while (GstMessage* old = gst_bus_pop(bus.get())) {
        gst_message_unref(old);
    }
    // avimux writes its index and header sizes at the end of the stream.
    gst_app_src_end_of_stream(GST_APP_SRC(source_));
    media::GstPtr<GstElement> sound =
        media::AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline_.get()), kAudioBranchName));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    bool finished = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus.get(), static_cast<GstClockTime>(left.count()),
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message) {
            break;
        }
        // A lost sound input ends its own stream; the pictures still reach the end.
        const bool soundFailed = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && sound &&
                                 gst_object_has_as_ancestor(GST_MESSAGE_SRC(message),
                                                            GST_OBJECT(sound.get()));
        finished = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
        gst_message_unref(message);
        if (!soundFailed) {
            break;
        }
    }
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    return finished;
}

RecorderFault CRecorder::Fault() {
    if (fault_ != RecorderFault::None || !pipeline_ || !sink_) {
        return fault_;
    }
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_.get()));
    while (GstMessage* message = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)) {
        // Looked up only for an error: this runs at every push.
        media::GstPtr<GstElement> sound =
            media::AdoptGst(gst_bin_get_by_name(GST_BIN(pipeline_.get()), kAudioBranchName));
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        GstObject* from = GST_MESSAGE_SRC(message);
        RecorderFault fault = RecorderFault::Pipeline;
        if (from == GST_OBJECT(sink_)) {
            fault = error && error->domain == GST_RESOURCE_ERROR &&
                            error->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT
                        ? RecorderFault::NoSpace
                        : RecorderFault::Write;
        } else if (sound && gst_object_has_as_ancestor(from, GST_OBJECT(sound.get()))) {
            fault = RecorderFault::None;  // a lost sound input ends its own stream
        }
        if (error) {
            g_error_free(error);
        }
        gst_message_unref(message);
        if (fault_ == RecorderFault::None) {
            fault_ = fault;
        }
    }
    return fault_;
}

bool CRecorder::ChangeOutputFile(const QString& path) {
    if (!pipeline_) {
        return false;
    }
    GstState state = GST_STATE_NULL;
    gst_element_get_state(pipeline_.get(), &state, nullptr, 0);
    if (state > GST_STATE_READY) {
        return false;
    }
    fileName_ = path;
    g_object_set(sink_, "location", fileName_.toUtf8().constData(), nullptr);
    return true;
}

void CRecorder::Teardown() {
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
    pipeline_.reset();
    source_ = nullptr;
    sink_ = nullptr;
    fault_ = RecorderFault::None;
    missedMs_ = 0;
}

bool CRecorder::WaitForRoom(uint32_t limitMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (gst_app_src_get_current_level_bytes(GST_APP_SRC(source_)) >= kQueueBytes) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

GstBuffer* CRecorder::NewPicture(const uint8_t* frame, const QDateTime& taken) {
    if (!pool_) {
        // Pictures come back for reuse: fresh memory each frame would cost its page faults.
        pool_ = media::AdoptGst(gst_buffer_pool_new());
        GstStructure* config = gst_buffer_pool_get_config(pool_.get());
        gst_buffer_pool_config_set_params(config, nullptr, kPictureBytes, 0, 0);
        // Whole cache lines: the conversion's wide stores never straddle two.
        GstAllocationParams params;
        gst_allocation_params_init(&params);
        params.align = 63;
        gst_buffer_pool_config_set_allocator(config, nullptr, &params);
        if (!gst_buffer_pool_set_config(pool_.get(), config) ||
            !gst_buffer_pool_set_active(pool_.get(), TRUE)) {
            pool_.reset();
            return nullptr;
        }
    }
    GstBuffer* buffer = nullptr;
    if (gst_buffer_pool_acquire_buffer(pool_.get(), &buffer, nullptr) != GST_FLOW_OK) {
        return nullptr;
    }
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        if (buffer) {
            gst_buffer_unref(buffer);
        }
        return nullptr;
    }
    if (frame) {
        // Top-down, as the pipeline's BGR is: the source's first line first.
        Yuy2ToRgb24(map.data, frame, kWidth / 2, kHeight, 0, 0);
        if (stampOn_) {
            stamp_.Update(taken);
            stamp_.Draw(map.data, kWidth, kHeight, kStride, false);
        }
    } else {
        std::memset(map.data, 0, kPictureBytes);
    }
    gst_buffer_unmap(buffer, &map);
    return buffer;
}

void CRecorder::PushFrame(const uint8_t* frame, bool isNew) {
    if (!pipeline_) {
        return;
    }
    // One frame interval at most: a pipeline that stays full (a stalled disk) costs this
    // tick, never the station's loop.
    if (!WaitForRoom(intervalMs_)) {
        missedMs_ += intervalMs_;
        if (missedMs_ >= kStallMs && fault_ == RecorderFault::None) {
            fault_ = RecorderFault::Stalled;
        }
        return;
    }
    missedMs_ = 0;
    // The latest picture counts as new for the first sample: it is the camera's, if older.
    if (!picture_ || (isNew && frame)) {
        GstBuffer* picture = NewPicture(frame, platform::LocalNow());
        if (!picture) {
            return;
        }
        picture_.reset(picture);
    }
    PushSample();
}

void CRecorder::PushEarlier(const std::vector<EarlierPicture>& pictures, uint32_t untilMs) {
    if (!pipeline_) {
        return;
    }
    size_t next = 0;
    for (uint64_t atMs = samples_ * intervalMs_; atMs < untilMs; atMs += intervalMs_) {
        // The sample shows the latest picture taken by its time, as a live tick would.
        bool isNew = false;
        while (next < pictures.size() && pictures[next].offsetMs <= atMs) {
            ++next;
            isNew = true;
        }
        if (!picture_ && !isNew) {
            if (pictures.empty()) {
                return;
            }
            next = 1;
            isNew = true;
        }
        // These samples are all at hand: only a pipeline that stopped moving ends them.
        if (!WaitForRoom(kStallMs)) {
            fault_ = fault_ == RecorderFault::None ? RecorderFault::Stalled : fault_;
            return;
        }
        if (isNew) {
            const EarlierPicture& shown = pictures[next - 1];
            GstBuffer* picture = NewPicture(shown.frame, shown.taken);
            if (!picture) {
                return;
            }
            picture_.reset(picture);
        }
        PushSample();
    }
}

void CRecorder::PushSample() {
    // A repeat shares the picture's memory; only its times are its own.
    GstBuffer* sample = gst_buffer_copy(picture_.get());
    const GstClockTime interval = static_cast<GstClockTime>(intervalMs_) * GST_MSECOND;
    GST_BUFFER_PTS(sample) = samples_ * interval;
    GST_BUFFER_DURATION(sample) = interval;
    ++samples_;
    media::GivenToFramework(sample);
    gst_app_src_push_buffer(GST_APP_SRC(source_), sample);
}

}  // namespace ovistra
