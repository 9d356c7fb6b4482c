#include "repeat_shortcut.h"

#include "framework_hand_over.h"

namespace ovistra {

RepeatShortcut::~RepeatShortcut() {
    Reset();
}

void RepeatShortcut::Attach(GstElement* converter) {
    GstPad* input = gst_element_get_static_pad(converter, "sink");
    output_ = gst_element_get_static_pad(converter, "src");
    if (!input || !output_) {
        g_clear_object(&input);
        g_clear_object(&output_);
        return;
    }
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_BUFFER, &RepeatShortcut::OnInput, this, nullptr);
    gst_pad_add_probe(output_, GST_PAD_PROBE_TYPE_BUFFER, &RepeatShortcut::OnOutput, this,
                      nullptr);
    gst_object_unref(input);
    // The pad lives as long as the converter; our reference is not needed to keep it.
    gst_object_unref(output_);
}

void RepeatShortcut::Reset() {
    std::lock_guard lock(mutex_);
    if (lastInput_) {
        gst_memory_unref(lastInput_);
        lastInput_ = nullptr;
    }
    if (lastOutput_) {
        gst_buffer_unref(lastOutput_);
        lastOutput_ = nullptr;
    }
}

guint64 RepeatShortcut::shortcuts() const {
    std::lock_guard lock(mutex_);
    return shortcuts_;
}

GstPadProbeReturn RepeatShortcut::OnInput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<RepeatShortcut*>(data);
    GstBuffer* input = GST_PAD_PROBE_INFO_BUFFER(info);
    media::TakenFromFramework(input);
    if (gst_buffer_n_memory(input) != 1) {
        return GST_PAD_PROBE_OK;
    }
    GstMemory* memory = gst_buffer_peek_memory(input, 0);
    GstBuffer* repeat = nullptr;
    {
        std::lock_guard lock(self->mutex_);
        if (memory != self->lastInput_ || !self->lastOutput_) {
            if (self->lastInput_) {
                gst_memory_unref(self->lastInput_);
            }
            self->lastInput_ = gst_memory_ref(memory);
            return GST_PAD_PROBE_OK;
        }
        repeat = gst_buffer_copy(self->lastOutput_);
        ++self->shortcuts_;
    }
    GST_BUFFER_PTS(repeat) = GST_BUFFER_PTS(input);
    GST_BUFFER_DTS(repeat) = GST_BUFFER_DTS(input);
    GST_BUFFER_DURATION(repeat) = GST_BUFFER_DURATION(input);
    gst_buffer_unref(input);
    GST_PAD_PROBE_INFO_DATA(info) = nullptr;
    media::GivenToFramework(repeat);
    // Upstream hears downstream's answer as the converter's own.
    GST_PAD_PROBE_INFO_FLOW_RETURN(info) = gst_pad_push(self->output_, repeat);
    return GST_PAD_PROBE_HANDLED;
}

GstPadProbeReturn RepeatShortcut::OnOutput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<RepeatShortcut*>(data);
    GstBuffer* output = GST_PAD_PROBE_INFO_BUFFER(info);
    std::lock_guard lock(self->mutex_);
    if (output != self->lastOutput_) {
        if (self->lastOutput_) {
            gst_buffer_unref(self->lastOutput_);
        }
        self->lastOutput_ = gst_buffer_ref(output);
    }
    return GST_PAD_PROBE_OK;
}

}  // namespace ovistra
