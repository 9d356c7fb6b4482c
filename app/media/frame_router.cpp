#include "frame_router.h"

namespace ovistra::media {

void FrameRouter::SelectOutput(int index) {
    selected_.store(index >= 0 && index < kOutputs ? index : -1, std::memory_order_release);
}

void FrameRouter::Deliver(const uint8_t* frame, size_t bytes) {
    const int index = selected_.load(std::memory_order_acquire);
    if (index >= 0) {
        grabbers_[index].Store(frame, bytes);
    }
}

void FrameRouter::Attach(GstAppSink* sink) {
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &FrameRouter::OnNewSample;
    gst_app_sink_set_callbacks(sink, &callbacks, this, nullptr);
}

GstFlowReturn FrameRouter::OnNewSample(GstAppSink* sink, gpointer self) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr) {
        return GST_FLOW_EOS;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        static_cast<FrameRouter*>(self)->Deliver(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

}  // namespace ovistra::media
