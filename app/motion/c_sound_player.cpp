#include "c_sound_player.h"

#include <gst/gst.h>

#include <QFile>
#include <cstring>
#include <utility>

#include "audio_output.h"
#include "framework_hand_over.h"
#include "gst_ptr.h"

namespace ovistra {
namespace {

struct BusNotice {
    platform::WindowHandle target;
    uint32_t message;
};

bool HasFactoryName(GstElement* element, const char* name) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory && std::strcmp(gst_plugin_feature_get_name(factory), name) == 0;
}

// autoaudiosink quietly falls back to a fake sink when no output opens; that is no sound.
bool FellBackToFakeSink(GstElement* sink) {
    if (!GST_IS_BIN(sink)) {
        return false;
    }
    bool fake = false;
    GstIterator* children = gst_bin_iterate_recurse(GST_BIN(sink));
    GValue item = G_VALUE_INIT;
    while (!fake && gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        fake = HasFactoryName(GST_ELEMENT(g_value_get_object(&item)), "fakesink");
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return fake;
}

// Streaming thread: only hands the news over; the owner's thread reads the bus.
GstBusSyncReply NotifyOwner(GstBus*, GstMessage* message, gpointer data) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
        const auto* notice = static_cast<const BusNotice*>(data);
        media::TakenFromFramework(notice);
        notice->target.PostMessage(notice->message, 0, 0);
    }
    return GST_BUS_PASS;
}

void FreeNotice(gpointer data) {
    delete static_cast<BusNotice*>(data);
}

// Streaming thread: decodebin offers its pads once it knows the file.
void LinkDecodedAudio(GstElement*, GstPad* pad, gpointer convert) {
    const bool audio = media::PadCarries(pad, "audio/");
    if (!audio) {
        return;
    }
    media::GstPtr<GstPad> sinkPad =
        media::AdoptGst(gst_element_get_static_pad(GST_ELEMENT(convert), "sink"));
    if (!gst_pad_is_linked(sinkPad.get())) {
        gst_pad_link(pad, sinkPad.get());
    }
}

// Nothing may reach the owner from a pipeline it no longer has: the streaming threads end with
// the NULL state, and only then does the handler go.
void Dispose(GstElement* pipeline) {
    if (!pipeline) {
        return;
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    gst_object_unref(pipeline);
}

bool Rewind(GstElement* pipeline) {
    if (gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0)) {
        return true;
    }
    // A stream that cannot seek starts over from a fresh preroll.
    return gst_element_set_state(pipeline, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE &&
           gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool Silent(GstElement* pipeline) {
    gint64 durationNs = -1;
    return gst_element_query_duration(pipeline, GST_FORMAT_TIME, &durationNs) && durationNs == 0;
}

}  // namespace

CSoundPlayer::CSoundPlayer(platform::WindowHandle notify, uint32_t message)
    : notify_(std::move(notify)), message_(message) {}

CSoundPlayer::~CSoundPlayer() {
    Dispose(std::exchange(pipeline_, nullptr));
}

bool CSoundPlayer::Open(const QString& path) {
    Dispose(std::exchange(pipeline_, nullptr));
    playing_ = false;
    if (!gst_is_initialized() || path.isEmpty()) {
        return false;
    }
    const bool fake = media::FakeAudioOutputWanted();
    media::GstPtr<GstElement> pipeline = media::AdoptGst(gst_pipeline_new("alarm-sound"));
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* sink = gst_element_factory_make(fake ? "fakesink" : "autoaudiosink", nullptr);
    if (!pipeline || !source || !decode || !convert || !resample || !sink) {
        for (GstElement* e : {source, decode, convert, resample, sink}) {
            if (e) {
                gst_object_unref(gst_object_ref_sink(e));
            }
        }
        return false;
    }
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    if (fake) {
        // Clocked, so the sound lasts as long as it would through a speaker.
        g_object_set(sink, "sync", TRUE, nullptr);
    }
    gst_bin_add_many(GST_BIN(pipeline.get()), source, decode, convert, resample, sink, nullptr);
    if (!gst_element_link(source, decode) ||
        !gst_element_link_many(convert, resample, sink, nullptr)) {
        return false;
    }
    g_signal_connect(decode, "pad-added", G_CALLBACK(LinkDecodedAudio), convert);
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline.get()));
    auto* notice = new BusNotice{notify_, message_};
    media::GivenToFramework(notice);
    gst_bus_set_sync_handler(bus.get(), NotifyOwner, notice, FreeNotice);

    // A missing file or a refused output fails here; the preroll goes on without the UI
    // thread, and a file it cannot decode is reported through the bus.
    GstElement* candidate = pipeline.release();
    if (gst_element_set_state(candidate, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
        (!fake && FellBackToFakeSink(sink))) {
        Dispose(candidate);
        return false;
    }
    pipeline_ = candidate;
    return true;
}

bool CSoundPlayer::Start() {
    if (!pipeline_) {
        return false;
    }
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Dispose(std::exchange(pipeline_, nullptr));
        playing_ = false;
        return false;
    }
    playing_ = true;
    return true;
}

bool CSoundPlayer::Stop() {
    if (!pipeline_) {
        return false;
    }
    playing_ = false;
    // READY lets go of the audio output, and the next start plays from the beginning.
    const bool stopped =
        gst_element_set_state(pipeline_, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    // An end reported just before the stop must not restart the sound, nor count for the next
    // one; an error still silences the player.
    DrainEvents();
    return stopped;
}

CSoundPlayer::Drained CSoundPlayer::DrainEvents() {
    if (!pipeline_) {
        return Drained::Fine;
    }
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_));
    bool failed = false;
    while (GstMessage* message = gst_bus_pop(bus.get())) {
        switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_EOS:
                if (playing_ && !failed) {
                    // A file without a single sample would restart at every turn of the loop.
                    failed = Silent(pipeline_) || !Rewind(pipeline_);
                    if (!failed) {
                        ++repeats_;
                    }
                }
                break;
            case GST_MESSAGE_ERROR:
                failed = true;
                break;
            default:
                break;
        }
        gst_message_unref(message);
    }
    if (!failed) {
        return Drained::Fine;
    }
    // A lost output or a broken file: the alarm goes on without sound until the next Open.
    Dispose(std::exchange(pipeline_, nullptr));
    playing_ = false;
    return Drained::Failed;
}

}  // namespace ovistra
