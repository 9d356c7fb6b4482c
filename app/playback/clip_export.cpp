#include "clip_export.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "framework_hand_over.h"
#include "gst_ptr.h"

namespace ovistra {
namespace {

using Failure = ClipResult::Failure;

constexpr GstClockTime kPrerollWait = 5 * GST_SECOND;
constexpr GstClockTime kFinishWait = 30 * GST_SECOND;
constexpr GstClockTime kPullWait = 20 * GST_MSECOND;
constexpr GstClockTime kFallbackPictureNs = 40 * GST_MSECOND;
constexpr guint kHeldSamples = 64;
constexpr guint64 kWriteBacklogBytes = 32 * 1024 * 1024;

struct MiniUnref {
    void operator()(gpointer object) const { gst_mini_object_unref(GST_MINI_OBJECT_CAST(object)); }
};
template <typename T>
using MiniPtr = std::unique_ptr<T, MiniUnref>;  // caps, buffers

GstClockTime Nanoseconds(double seconds) {
    return static_cast<GstClockTime>(std::llround(seconds * GST_SECOND));
}

GstClockTime StampOf(GstBuffer* buffer) {
    return GST_BUFFER_PTS_IS_VALID(buffer) ? GST_BUFFER_PTS(buffer) : GST_BUFFER_DTS(buffer);
}

bool HasError(GstElement* pipeline) {
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline));
    GstMessage* error = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR);
    if (error) {
        gst_message_unref(error);
    }
    return error != nullptr;
}

// One recording file opened for its encoded samples: filesrc ! avidemux, each picture or sound
// stream into an appsink that the writing thread pulls from.
class DemuxedFile {
public:
    ~DemuxedFile() {
        if (pipeline_) {
            gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        }
        media::TakenFromFramework(this);  // the streaming threads are gone
    }

    // Paused on the key picture at or before `from`, ending at `to` when given.
    Failure Open(const QString& path, GstClockTime from, std::optional<GstClockTime> to) {
        pipeline_ = media::AdoptGst(gst_pipeline_new("clip-source"));
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        GstElement* demux = gst_element_factory_make("avidemux", nullptr);
        if (!pipeline_ || !source || !demux) {
            for (GstElement* e : {source, demux}) {
                if (e) {
                    gst_object_unref(gst_object_ref_sink(e));
                }
            }
            return Failure::Damaged;
        }
        g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), source, demux, nullptr);
        if (!gst_element_link(source, demux)) {
            return Failure::Damaged;
        }
        g_signal_connect(demux, "pad-added", G_CALLBACK(&DemuxedFile::OnPad), this);
        g_signal_connect(demux, "no-more-pads", G_CALLBACK(&DemuxedFile::OnAllPads), this);
        media::GivenToFramework(this);
        if (!Settle(gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED)) || !Prerolled()) {
            return Failure::Damaged;
        }
        if (gint64 length = 0;
            gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &length) && length > 0 &&
            from >= static_cast<GstClockTime>(length)) {
            return Failure::Range;
        }
        if (from > 0 || to) {
            const auto flags = static_cast<GstSeekFlags>(
                GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE);
            if (!gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                                  static_cast<gint64>(from),
                                  to ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                                  to ? static_cast<gint64>(*to) : -1) ||
                !Settle(GST_STATE_CHANGE_ASYNC)) {
                return Failure::Damaged;
            }
        }
        return gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE
                   ? Failure::Damaged
                   : Failure::None;
    }

    GstElement* pipeline() const { return pipeline_.get(); }
    GstAppSink* video() {
        std::lock_guard lock(lock_);
        return video_;
    }
    GstAppSink* sound() {
        std::lock_guard lock(lock_);
        return sound_;
    }
    static MiniPtr<GstCaps> CapsOf(GstAppSink* sink) {
        media::GstPtr<GstPad> pad =
            media::AdoptGst(gst_element_get_static_pad(GST_ELEMENT(sink), "sink"));
        return MiniPtr<GstCaps>(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    }

private:
    bool Settle(GstStateChangeReturn change) {
        if (change == GST_STATE_CHANGE_FAILURE) {
            return false;
        }
        return gst_element_get_state(pipeline_.get(), nullptr, nullptr, kPrerollWait) ==
                   GST_STATE_CHANGE_SUCCESS &&
               !HasError(pipeline_.get());
    }

    // The pipeline is paused before the demuxer has read the header: its streams' sinks come
    // later, each with its first sample.
    bool Prerolled() {
        const gint64 deadline = g_get_monotonic_time() + kPrerollWait / GST_USECOND;
        while (!allPads_.load(std::memory_order_acquire)) {
            if (HasError(pipeline_.get()) || g_get_monotonic_time() > deadline) {
                return false;
            }
            g_usleep(2000);
        }
        for (GstAppSink* sink : {video(), sound()}) {
            if (sink && gst_element_get_state(GST_ELEMENT(sink), nullptr, nullptr, kPrerollWait) !=
                            GST_STATE_CHANGE_SUCCESS) {
                return false;
            }
        }
        return video() != nullptr && !HasError(pipeline_.get());
    }

    static void OnAllPads(GstElement*, gpointer data) {
        static_cast<DemuxedFile*>(data)->allPads_.store(true, std::memory_order_release);
    }

    // Streaming thread: a stream of the file became known.
    static void OnPad(GstElement*, GstPad* pad, gpointer data) {
        auto* self = static_cast<DemuxedFile*>(data);
        media::TakenFromFramework(self);
        const gchar* name = GST_PAD_NAME(pad);
        const bool video = g_str_has_prefix(name, "video_");
        const bool sound = g_str_has_prefix(name, "audio_");
        std::lock_guard lock(self->lock_);
        // The first picture and sound streams are taken; any other stream is read and dropped.
        const bool take = (video && !self->video_) || (sound && !self->sound_);
        GstElement* sink = gst_element_factory_make(take ? "appsink" : "fakesink", nullptr);
        // The demuxer feeds every stream from one thread: a queue each, so one stream's sink
        // waiting for its first sample never keeps the others from theirs.
        GstElement* queue = gst_element_factory_make("queue", nullptr);
        if (!sink || !queue) {
            for (GstElement* e : {sink, queue}) {
                if (e) {
                    gst_object_unref(gst_object_ref_sink(e));
                }
            }
            return;
        }
        g_object_set(sink, "sync", FALSE, nullptr);
        if (take) {
            // The file is read no faster than the clip is written.
            g_object_set(sink, "max-buffers", kHeldSamples, nullptr);
        } else {
            g_object_set(sink, "async", FALSE, nullptr);
        }
        gst_bin_add_many(GST_BIN(self->pipeline_.get()), queue, sink, nullptr);
        gst_element_link(queue, sink);
        gst_element_sync_state_with_parent(sink);
        gst_element_sync_state_with_parent(queue);
        media::GstPtr<GstPad> in = media::AdoptGst(gst_element_get_static_pad(queue, "sink"));
        if (gst_pad_link(pad, in.get()) != GST_PAD_LINK_OK || !take) {
            return;
        }
        (video ? self->video_ : self->sound_) = GST_APP_SINK(sink);
        media::GivenToFramework(self);
    }

    media::GstPtr<GstElement> pipeline_;
    // --- guarded by lock_ (set on the streaming thread, owned by the pipeline)
    std::mutex lock_;
    GstAppSink* video_ = nullptr;
    GstAppSink* sound_ = nullptr;
    std::atomic<bool> allPads_{false};
};

// appsrc ! avimux ! filesink, with a second appsrc for the sound when the clip has one.
class ClipWriter {
public:
    ~ClipWriter() {
        if (pipeline_) {
            gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        }
    }

    Failure Open(const QString& path, GstCaps* videoCaps, GstCaps* soundCaps) {
        pipeline_ = media::AdoptGst(gst_pipeline_new("clip-writer"));
        video_ = gst_element_factory_make("appsrc", nullptr);
        GstElement* mux = gst_element_factory_make("avimux", nullptr);
        GstElement* sink = gst_element_factory_make("filesink", nullptr);
        if (!pipeline_ || !video_ || !mux || !sink) {
            for (GstElement* e : {video_, mux, sink}) {
                if (e) {
                    gst_object_unref(gst_object_ref_sink(e));
                }
            }
            video_ = nullptr;
            return Failure::Write;
        }
        gst_bin_add_many(GST_BIN(pipeline_.get()), video_, mux, sink, nullptr);
        Configure(video_, videoCaps);
        g_object_set(sink, "location", QFile::encodeName(path).constData(), nullptr);
        if (!LinkInto(video_, mux, "video_%u", videoCaps)) {
            return Failure::Formats;
        }
        if (!gst_element_link(mux, sink)) {
            return Failure::Write;
        }
        if (soundCaps) {
            sound_ = gst_element_factory_make("appsrc", nullptr);
            if (sound_) {
                gst_bin_add(GST_BIN(pipeline_.get()), sound_);
                Configure(sound_, soundCaps);
                if (!LinkInto(sound_, mux, "audio_%u", soundCaps)) {
                    // A sound the AVI cannot hold: the pictures alone are still the clip.
                    gst_bin_remove(GST_BIN(pipeline_.get()), sound_);
                    sound_ = nullptr;
                }
            }
        }
        if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
            HasError(pipeline_.get())) {
            return Failure::Write;
        }
        return Failure::None;
    }

    bool hasSound() const { return sound_ != nullptr; }

    // More is waiting to be written than is worth holding. Only while every stream has some:
    // the mux waits for the stream that has none, which must then be fed.
    bool Backlogged() const {
        guint64 total = 0;
        for (GstElement* source : {video_, sound_}) {
            if (source) {
                const guint64 bytes = gst_app_src_get_current_level_bytes(GST_APP_SRC(source));
                if (bytes == 0) {
                    return false;
                }
                total += bytes;
            }
        }
        return total > kWriteBacklogBytes;
    }

    bool Push(bool video, GstBuffer* buffer) {
        GstElement* source = video ? video_ : sound_;
        return gst_app_src_push_buffer(GST_APP_SRC(source), buffer) == GST_FLOW_OK;
    }

    // Ends the streams and waits until avimux has written its index.
    bool Finish() {
        gst_app_src_end_of_stream(GST_APP_SRC(video_));
        if (sound_) {
            gst_app_src_end_of_stream(GST_APP_SRC(sound_));
        }
        media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_.get()));
        GstMessage* end = gst_bus_timed_pop_filtered(
            bus.get(), kFinishWait,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const bool written = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
        if (end) {
            gst_message_unref(end);
        }
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        return written;
    }

    bool failed() const { return HasError(pipeline_.get()); }

private:
    // The stream's own kind of mux pad, so the caps never meet the other kind.
    static bool LinkInto(GstElement* source, GstElement* mux, const char* padName, GstCaps* caps) {
        GstPad* in = gst_element_request_pad_simple(mux, padName);
        if (!in) {
            return false;
        }
        media::GstPtr<GstPad> out = media::AdoptGst(gst_element_get_static_pad(source, "src"));
        const bool linked =
            gst_pad_query_accept_caps(in, caps) && gst_pad_link(out.get(), in) == GST_PAD_LINK_OK;
        if (!linked) {
            gst_element_release_request_pad(mux, in);
        }
        gst_object_unref(in);
        return linked;
    }

    static void Configure(GstElement* source, GstCaps* caps) {
        g_object_set(source, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, "block",
                     FALSE, nullptr);
    }

    media::GstPtr<GstElement> pipeline_;
    GstElement* video_ = nullptr;  // owned by the pipeline
    GstElement* sound_ = nullptr;
};

// The samples of one piece, re-stamped onto the clip's time line from `offset` on.
class PieceCopy {
public:
    PieceCopy(DemuxedFile& file, ClipWriter& writer, GstClockTime offset,
              std::optional<GstClockTime> end)
        : file_(file), writer_(writer), offset_(offset), end_(end) {}

    Failure Run(const std::atomic<bool>* cancel) {
        GstAppSink* video = file_.video();
        GstAppSink* sound = writer_.hasSound() ? file_.sound() : nullptr;
        bool videoOver = false;
        bool soundOver = sound == nullptr;
        while (!videoOver || !soundOver) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                return Failure::Cancelled;
            }
            if (HasError(file_.pipeline())) {
                return Failure::Damaged;
            }
            if (writer_.failed()) {
                return Failure::Write;
            }
            if (writer_.Backlogged()) {
                g_usleep(5000);
                continue;
            }
            bool moved = false;
            for (const bool isVideo : {true, false}) {
                bool& over = isVideo ? videoOver : soundOver;
                GstAppSink* sink = isVideo ? video : sound;
                if (over) {
                    continue;
                }
                // Waits only when nothing came: a stream ahead never stalls the other one.
                GstSample* sample = gst_app_sink_try_pull_sample(sink, moved ? 0 : kPullWait);
                if (!sample) {
                    over = gst_app_sink_is_eos(sink);
                    continue;
                }
                moved = true;
                const Failure failure = Take(isVideo, sample, over);
                gst_sample_unref(sample);
                if (failure != Failure::None) {
                    return failure;
                }
            }
        }
        return GST_CLOCK_TIME_IS_VALID(base_) ? Failure::None : Failure::Range;
    }

    // Where the next piece begins on the clip's time line.
    GstClockTime end() const { return pictureEnd_; }

private:
    Failure Take(bool isVideo, GstSample* sample, bool& over) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        const GstClockTime stamp = buffer ? StampOf(buffer) : GST_CLOCK_TIME_NONE;
        if (!GST_CLOCK_TIME_IS_VALID(stamp)) {
            return Failure::None;
        }
        if (end_ && stamp >= *end_) {
            over = true;
            return Failure::None;
        }
        if (isVideo && !GST_CLOCK_TIME_IS_VALID(base_)) {
            // The clip opens on a key picture, whatever the seek found.
            if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) {
                return Failure::None;
            }
            base_ = stamp;
            for (MiniPtr<GstBuffer>& held : heldSound_) {
                if (StampOf(held.get()) >= base_ && !Push(false, held.release())) {
                    return Failure::Write;
                }
            }
            heldSound_.clear();
        }
        if (!isVideo && !GST_CLOCK_TIME_IS_VALID(base_)) {
            // Sound before the first picture waits until the clip's start is known.
            heldSound_.emplace_back(gst_buffer_ref(buffer));
            return Failure::None;
        }
        if (stamp < base_) {
            return Failure::None;
        }
        if (isVideo) {
            GstClockTime length = GST_BUFFER_DURATION(buffer);
            if (!GST_CLOCK_TIME_IS_VALID(length)) {
                length = lastLength_;
            }
            lastLength_ = length;
            pictureEnd_ = std::max(pictureEnd_, offset_ + (stamp - base_) + length);
        }
        return Push(isVideo, gst_buffer_ref(buffer)) ? Failure::None : Failure::Write;
    }

    // Takes `buffer`.
    bool Push(bool isVideo, GstBuffer* buffer) {
        buffer = gst_buffer_make_writable(buffer);
        const GstClockTime shift = offset_ - base_;  // unsigned wrap is undone by the adds
        if (GST_BUFFER_PTS_IS_VALID(buffer)) {
            GST_BUFFER_PTS(buffer) += shift;
        }
        if (GST_BUFFER_DTS_IS_VALID(buffer)) {
            GST_BUFFER_DTS(buffer) = std::max(GST_BUFFER_DTS(buffer), base_) + shift;
        }
        return writer_.Push(isVideo, buffer);
    }

    DemuxedFile& file_;
    ClipWriter& writer_;
    GstClockTime offset_;
    std::optional<GstClockTime> end_;
    GstClockTime base_ = GST_CLOCK_TIME_NONE;  // the piece's first picture, in the file's time
    GstClockTime pictureEnd_ = 0;
    GstClockTime lastLength_ = kFallbackPictureNs;
    std::vector<MiniPtr<GstBuffer>> heldSound_;
};

Failure Write(const std::vector<ClipPiece>& pieces, const QString& outPath,
              const std::atomic<bool>* cancel, double& seconds) {
    if (pieces.empty()) {
        return Failure::Range;
    }
    for (const ClipPiece& piece : pieces) {
        if (!(piece.fromSeconds >= 0) ||
            (piece.toSeconds && !(*piece.toSeconds > piece.fromSeconds))) {
            return Failure::Range;
        }
    }
    std::unique_ptr<ClipWriter> writer;
    MiniPtr<GstCaps> videoCaps;
    GstClockTime offset = 0;
    for (const ClipPiece& piece : pieces) {
        // On the heap: the streaming threads write into it, and a stack slot used again
        // would hide from the thread sanitizer which accesses the framework ordered.
        const auto owned = std::make_unique<DemuxedFile>();
        DemuxedFile& file = *owned;
        const std::optional<GstClockTime> to =
            piece.toSeconds ? std::optional(Nanoseconds(*piece.toSeconds)) : std::nullopt;
        if (const Failure failure = file.Open(piece.path, Nanoseconds(piece.fromSeconds), to);
            failure != Failure::None) {
            return failure;
        }
        MiniPtr<GstCaps> caps = DemuxedFile::CapsOf(file.video());
        if (!caps) {
            return Failure::Damaged;
        }
        if (!writer) {
            MiniPtr<GstCaps> soundCaps =
                file.sound() ? DemuxedFile::CapsOf(file.sound()) : MiniPtr<GstCaps>();
            writer = std::make_unique<ClipWriter>();
            if (const Failure failure = writer->Open(outPath, caps.get(), soundCaps.get());
                failure != Failure::None) {
                return failure;
            }
            videoCaps = std::move(caps);
        } else if (!gst_caps_is_equal(caps.get(), videoCaps.get())) {
            // A set whose files were recorded differently cannot share one picture stream.
            return Failure::Formats;
        }
        PieceCopy copy(file, *writer, offset, to);
        if (const Failure failure = copy.Run(cancel); failure != Failure::None) {
            return failure;
        }
        offset = copy.end();
    }
    if (!writer->Finish()) {
        return Failure::Write;
    }
    seconds = static_cast<double>(offset) / GST_SECOND;
    return Failure::None;
}

}  // namespace

QString FailureWord(ClipResult::Failure failure) {
    switch (failure) {
        case Failure::None:
            return {};
        case Failure::Range:
            return QStringLiteral("range");
        case Failure::Damaged:
            return QStringLiteral("damaged");
        case Failure::Formats:
            return QStringLiteral("formats");
        case Failure::Write:
            return QStringLiteral("write");
        case Failure::Cancelled:
            return QStringLiteral("cancelled");
    }
    return {};
}

ClipResult WriteClip(const std::vector<ClipPiece>& pieces, const QString& outPath,
                     const std::atomic<bool>* cancel) {
    ClipResult result;
    result.path = outPath;
    result.failure = Write(pieces, outPath, cancel, result.seconds);
    if (!result.ok()) {
        // Every pipeline is down by now: nothing writes into the file any more.
        QFile::remove(outPath);
        result.seconds = 0;
    }
    return result;
}

ClipExport::ClipExport() : relay_(std::make_unique<QObject>()) {}

ClipExport::~ClipExport() {
    cancel_.store(true, std::memory_order_relaxed);
    Join();
    relay_.reset();
}

void ClipExport::Join() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool ClipExport::Start(std::vector<ClipPiece> pieces, const QString& outPath, Done done) {
    if (busy()) {
        return false;
    }
    Join();
    busy_.store(true, std::memory_order_release);
    cancel_.store(false, std::memory_order_relaxed);
    worker_ =
        std::thread([this, pieces = std::move(pieces), outPath, done = std::move(done)]() mutable {
            const ClipResult result = WriteClip(pieces, outPath, &cancel_);
            // The relay outlives this thread; a call still queued when it goes is dropped.
            QMetaObject::invokeMethod(
                relay_.get(),
                [this, result, done = std::move(done)] {
                    busy_.store(false, std::memory_order_release);
                    if (done) {
                        done(result);
                    }
                },
                Qt::QueuedConnection);
        });
    return true;
}

}  // namespace ovistra
