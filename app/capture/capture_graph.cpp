#include "capture_graph.h"

#include <gst/app/gstappsink.h>

#include <QMetaObject>

#include "device_discovery.h"

namespace ovistra {

CaptureGraph::CaptureGraph(const media::DeviceList& devices)
    : devices_(devices), uiContext_(std::make_unique<QObject>()) {}

CaptureGraph::~CaptureGraph() {
    Stop();
    TearDown();
}

CaptureGraph::BuildResult CaptureGraph::Build(long brightness) {
    // The device is looked up twice, as the graph keeps a second instance of its filter.
    for (auto* found : {&device_, &deviceRef_}) {
        for (const char* name : kDeviceNames) {
            if (!media::Failed(FindDeviceByName(devices_, name, found))) {
                break;
            }
            if (name == kDeviceNames[0]) {
                alternateDevice_ = true;
            }
        }
    }
    if (!deviceRef_ || !device_) {
        return BuildResult::NoDevice;
    }

    pipeline_ = media::AdoptGst(gst_pipeline_new("capture"));
    GstElement* source = device_->MakeSourceElement();
    if (source == nullptr) {
        pipeline_.reset();
        return BuildResult::NoSource;
    }
    GstElement* format = gst_element_factory_make("capsfilter", "format");
    GstElement* sink = gst_element_factory_make("appsink", "selector");
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT,
                            media::kFrameWidth, "height", G_TYPE_INT, media::kFrameHeight, nullptr);
    g_object_set(format, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // The selector never holds the device back: no clock sync, one frame at most, the rest
    // dropped.
    g_object_set(sink, "sync", FALSE, "max-buffers", 1u, "drop", TRUE, "enable-last-sample", FALSE,
                 nullptr);
    gst_bin_add_many(GST_BIN(pipeline_.get()), source, format, sink, nullptr);
    gst_element_link_many(source, format, sink, nullptr);  // a failed link shows no pictures
    router_.Attach(GST_APP_SINK(sink));
    media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), &CaptureGraph::OnBusMessage, this, nullptr);

    media::Crossbar* crossbar = device_->CrossbarControl();
    if (crossbar == nullptr) {
        return BuildResult::NoCrossbar;
    }
    media::VideoProcAmp* procAmp = device_->ProcAmp();
    if (procAmp == nullptr) {
        return BuildResult::NoAmplifier;
    }
    procAmp->Set(media::ProcAmpProperty::Brightness, brightness, 0);
    procAmp->Set(media::ProcAmpProperty::Saturation, kNeutralSaturation, 0);
    for (std::string& compressor : compressors_) {
        FindCompressor(CompressorCategory::Video, kCompressorName, &compressor);
    }
    crossbar->Route(0, 1);
    return BuildResult::Built;
}

bool CaptureGraph::Run() {
    return pipeline_ &&
           gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void CaptureGraph::Stop() {
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
}

void CaptureGraph::TearDown() {
    for (int i = 0; i < media::FrameRouter::kOutputs; ++i) {
        router_.grabber(i).SetFrameCallback(nullptr);
    }
    if (pipeline_) {
        media::GstPtr<GstBus> bus = media::AdoptGst(gst_element_get_bus(pipeline_.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    }
    pipeline_.reset();
}

GstBusSyncReply CaptureGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        auto* graph = static_cast<CaptureGraph*>(self);
        QMetaObject::invokeMethod(
            graph->uiContext_.get(), [graph] { graph->OnSourceFailed(); }, Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

void CaptureGraph::OnSourceFailed() {
    if (sourceFailed_ || !pipeline_) {
        return;
    }
    sourceFailed_ = true;
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    if (deviceLost_) {
        deviceLost_();
    }
}

}  // namespace ovistra
