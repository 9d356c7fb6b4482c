#include "audio_input.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

#include "gst_ptr.h"

namespace ovistra {
namespace {

constexpr std::string_view kLineIn = "Line in";
constexpr std::string_view kLineInTraditional = "線性輸入";

// Room and speech sound; keeps the PCM form at 88 KB/s at most.
constexpr int kAudioRateHz = 22050;
// Sound held while the mux waits for the next picture: a slow frame rate, a busy encoder.
constexpr guint64 kQueueNs = 5 * GST_SECOND;
// avimux holds each picture back until it has the sound of the next half second; the same lead
// on the sound's times lets it write a picture as soon as the sound has reached it, so the
// pictures never wait half a second in the recorder's small appsrc queue.
constexpr gint64 kMuxSoundLeadNs = GST_SECOND / 2;

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool ContainsAsciiNoCase(std::string_view text, std::string_view part) {
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (StartsWithAsciiNoCase(text.substr(at), part)) {
            return true;
        }
    }
    return false;
}

// Whether the mux has a stream type for what the encoder makes.
bool MuxStores(GstPadTemplate* muxTemplate, GstElement* encoder) {
    media::GstPtr<GstPad> out = media::AdoptGst(gst_element_get_static_pad(encoder, "src"));
    if (!out) {
        return false;
    }
    GstCaps* made = gst_pad_query_caps(out.get(), nullptr);
    GstCaps* stored = gst_pad_template_get_caps(muxTemplate);
    const bool stores = gst_caps_can_intersect(made, stored);
    gst_caps_unref(made);
    gst_caps_unref(stored);
    return stores;
}

// A busy or missing device fails here, where the recording can go on silent, instead of
// failing the whole pipeline when the recording starts.
bool Opens(GstElement* source) {
    const bool opened = gst_element_set_state(source, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(source, GST_STATE_NULL);
    return opened;
}

void EndSound(GstElement* branch, gpointer) {
    gst_element_send_event(branch, gst_event_new_eos());
}

// What the branch keeps of a picture pad of the mux; only that pad's streaming thread uses it.
struct PictureWatch {
    GstElement* branch = nullptr;  // a reference of our own
    GstSegment segment{};
    GstClockTime frameNs = GST_CLOCK_TIME_NONE;
    uint64_t frames = 0;  // since the segment began
};

void FreeWatch(gpointer data) {
    auto* watch = static_cast<PictureWatch*>(data);
    gst_object_unref(watch->branch);
    delete watch;
}

void RestampPicture(PictureWatch* watch, GstPadProbeInfo* info) {
    if (!GST_CLOCK_TIME_IS_VALID(watch->frameNs)) {
        return;
    }
    const GstClockTime shownAt = gst_segment_position_from_running_time(
        &watch->segment, GST_FORMAT_TIME, watch->frames * watch->frameNs);
    ++watch->frames;
    if (GST_CLOCK_TIME_IS_VALID(shownAt)) {
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_BUFFER_PTS(buffer) = shownAt;
        GST_BUFFER_DTS(buffer) = shownAt;
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
}

// The mux writes whichever stream's next buffer is earliest, but an AVI shows picture k at
// k frame durations whatever its time stamp: each picture gets that time, so the sound is
// interleaved as it will be played, and an encoder's bad stamps (avenc_mpeg4 of GStreamer
// 1.22.0 leaves every one at 2^63) cannot hold the sound back for ever. The mux finishes the
// file only when every stream has ended, and a live source never ends by itself: the end of
// the pictures ends the sound.
GstPadProbeReturn OnPicturePad(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* watch = static_cast<PictureWatch*>(data);
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) != 0) {
        RestampPicture(watch, info);
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_CAPS: {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            int num = 0;
            int den = 0;
            const bool known = gst_structure_get_fraction(gst_caps_get_structure(caps, 0),
                                                          "framerate", &num, &den) &&
                               num > 0 && den > 0;
            watch->frameNs =
                known ? gst_util_uint64_scale(GST_SECOND, den, num) : GST_CLOCK_TIME_NONE;
            break;
        }
        case GST_EVENT_SEGMENT: {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_TIME) {
                gst_segment_copy_into(segment, &watch->segment);
            }
            watch->frames = 0;
            break;
        }
        case GST_EVENT_EOS:
            // Not on this thread: the sound's thread may be waiting in the mux for this pad.
            gst_element_call_async(watch->branch, EndSound, nullptr, nullptr);
            break;
        default:
            break;
    }
    return GST_PAD_PROBE_OK;
}

void WatchPictures(GstPad* pad, GstElement* branch) {
    auto* watch = new PictureWatch;
    watch->branch = GST_ELEMENT(gst_object_ref(branch));
    gst_segment_init(&watch->segment, GST_FORMAT_TIME);
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      OnPicturePad, watch, FreeWatch);
}

std::vector<media::GstPtr<GstPad>> LinkedSinkPads(GstElement* element) {
    std::vector<media::GstPtr<GstPad>> pads;
    GST_OBJECT_LOCK(element);
    for (GList* item = element->sinkpads; item != nullptr; item = item->next) {
        auto* pad = GST_PAD(item->data);
        if (gst_pad_is_linked(pad)) {
            pads.push_back(media::RefGst(pad));
        }
    }
    GST_OBJECT_UNLOCK(element);
    return pads;
}

// source -> queue -> audioconvert -> audioresample -> caps [-> encoder] in a bin of its own
// with a "src" ghost pad; null when an element is missing or the chain does not link.
media::GstPtr<GstElement> MakeBranch(media::GstPtr<GstElement> source,
                                     media::GstPtr<GstElement> encoder) {
    media::GstPtr<GstElement> branch = media::AdoptGst(gst_bin_new(kAudioBranchName));
    media::GstPtr<GstElement> queue = media::AdoptGst(gst_element_factory_make("queue", nullptr));
    media::GstPtr<GstElement> convert =
        media::AdoptGst(gst_element_factory_make("audioconvert", nullptr));
    media::GstPtr<GstElement> resample =
        media::AdoptGst(gst_element_factory_make("audioresample", nullptr));
    media::GstPtr<GstElement> filter =
        media::AdoptGst(gst_element_factory_make("capsfilter", nullptr));
    if (!queue || !convert || !resample || !filter) {
        return nullptr;
    }
    // The queue gives the encoder a thread of its own, so the source only captures.
    g_object_set(queue.get(), "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                 kQueueNs, nullptr);
    // What the ADPCM encoder and the mux's PCM both take.
    GstCaps* caps = gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
        "rate", G_TYPE_INT, kAudioRateHz, "channels", GST_TYPE_INT_RANGE, 1, 2, nullptr);
    g_object_set(filter.get(), "caps", caps, nullptr);
    gst_caps_unref(caps);

    std::vector<GstElement*> chain = {source.get(), queue.get(), convert.get(), resample.get(),
                                      filter.get()};
    if (encoder) {
        chain.push_back(encoder.get());
    }
    for (size_t i = 0; i < chain.size(); ++i) {
        gst_bin_add(GST_BIN(branch.get()), chain[i]);
        if (i > 0 && !gst_element_link(chain[i - 1], chain[i])) {
            return nullptr;
        }
    }
    media::GstPtr<GstPad> tail = media::AdoptGst(gst_element_get_static_pad(chain.back(), "src"));
    if (!tail || !gst_element_add_pad(branch.get(), gst_ghost_pad_new("src", tail.get()))) {
        return nullptr;
    }
    return branch;
}

}  // namespace

std::vector<AudioInput> SystemAudioInputList::Inputs() const {
    std::vector<AudioInput> inputs;
    if (!gst_is_initialized()) {
        return inputs;
    }
    media::GstPtr<GstDeviceMonitor> monitor = media::AdoptGst(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* item = devices; item != nullptr; item = item->next) {
        // Takes over the list's reference.
        std::shared_ptr<GstDevice> device(GST_DEVICE(item->data), media::GstObjectUnref{});
        gchar* name = gst_device_get_display_name(device.get());
        inputs.push_back({name != nullptr ? name : "",
                          [device] { return gst_device_create_element(device.get(), nullptr); }});
        g_free(name);
    }
    g_list_free(devices);
    return inputs;
}

std::vector<AudioInput> StationAudioInputs::Inputs() const {
    std::vector<AudioInput> inputs = deviceInputs_;
    if (machine_) {
        for (AudioInput& input : machine_->Inputs()) {
            inputs.push_back(std::move(input));
        }
    }
    return inputs;
}

std::optional<size_t> ChooseAudioInput(const std::vector<std::string>& names,
                                       const AudioPreference& preference) {
    const auto first = [&names](const std::function<bool(const std::string&)>& fits) {
        const auto found = std::find_if(names.begin(), names.end(), fits);
        return found == names.end() ? std::nullopt
                                    : std::optional<size_t>(size_t(found - names.begin()));
    };
    // The capture device's own sound belongs with its pictures.
    if (!preference.deviceName.empty()) {
        if (auto own = first([&](const std::string& name) {
                return ContainsAsciiNoCase(name, preference.deviceName);
            })) {
            return own;
        }
    }
    if (auto line = first([](const std::string& name) {
            return StartsWithAsciiNoCase(name, kLineIn) || name.starts_with(kLineInTraditional);
        })) {
        return line;
    }
    if (preference.chosenName.empty()) {
        return std::nullopt;
    }
    return first([&](const std::string& name) { return name == preference.chosenName; });
}

bool AddAudioBranch(GstBin* pipeline, GstElement* mux, const AudioInputList& inputs,
                    const char* encoderFactory) {
    if (pipeline == nullptr || mux == nullptr || encoderFactory == nullptr) {
        return false;
    }
    const std::vector<AudioInput> list = inputs.Inputs();
    std::vector<std::string> names;
    for (const AudioInput& input : list) {
        names.push_back(input.name);
    }
    const std::optional<size_t> chosen = ChooseAudioInput(names, inputs.Preference());
    if (!chosen || !list[*chosen].makeElement) {
        return false;
    }
    // Nothing would end the sound before the pictures are in.
    const std::vector<media::GstPtr<GstPad>> picturePads = LinkedSinkPads(mux);
    GstPadTemplate* muxTemplate = gst_element_get_pad_template(mux, "audio_%u");
    if (picturePads.empty() || muxTemplate == nullptr) {
        return false;
    }
    media::GstPtr<GstElement> encoder =
        media::AdoptGst(gst_element_factory_make(encoderFactory, nullptr));
    if (!encoder) {
        return false;
    }
    if (!MuxStores(muxTemplate, encoder.get())) {
        encoder.reset();  // raw samples, which every AVI player reads
    }
    media::GstPtr<GstElement> source = media::AdoptGst(list[*chosen].makeElement());
    if (!source) {
        return false;
    }
    // A source that can run live does: its sound then has the pipeline clock's pace and times,
    // as the pictures pushed at the frame timer's pace do.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(source.get()), "is-live") != nullptr) {
        g_object_set(source.get(), "is-live", TRUE, nullptr);
    }
    if (!Opens(source.get())) {
        return false;
    }
    media::GstPtr<GstElement> branch = MakeBranch(std::move(source), std::move(encoder));
    if (!branch) {
        return false;
    }

    GstPad* muxPad = gst_element_request_pad(mux, muxTemplate, nullptr, nullptr);
    if (muxPad == nullptr) {
        return false;
    }
    media::GstPtr<GstPad> branchOut =
        media::AdoptGst(gst_element_get_static_pad(branch.get(), "src"));
    gst_pad_set_offset(branchOut.get(), kMuxSoundLeadNs);
    bool added = gst_bin_add(pipeline, branch.get());
    if (added && gst_pad_link(branchOut.get(), muxPad) != GST_PAD_LINK_OK) {
        gst_bin_remove(pipeline, branch.get());
        added = false;
    }
    if (!added) {
        gst_element_release_request_pad(mux, muxPad);
        gst_object_unref(muxPad);
        return false;
    }
    gst_object_unref(muxPad);
    for (const media::GstPtr<GstPad>& pad : picturePads) {
        WatchPictures(pad.get(), branch.get());
    }
    return true;
}

}  // namespace ovistra
