// The capture graph: the capture device's source, the one capture format, and the selector
// that hands each frame to the grabber of the camera shown. Built and run on the UI thread;
// frames flow on the pipeline's streaming thread, which never waits on the UI thread.
#pragma once

#include <gst/gst.h>

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "capture_device.h"
#include "frame_router.h"
#include "gst_ptr.h"

namespace ovistra {

class CaptureGraph {
public:
    enum class BuildResult {
        Built,
        NoDevice,     // none of the three names: the user is told (texts 116, 124)
        NoSource,     // the device made no source element
        NoCrossbar,   // left built, never run
        NoAmplifier,  // left built, never run
    };

    // The names the capture device is looked for under, in order.
    static constexpr const char* kDeviceNames[] = {"USB 2.0 A/V Converter", "USB 2820 Device",
                                                   "USB 2820 Video"};
    static constexpr const char* kCompressorName = "DivX Pro(tm) 5.1.1 Codec";
    static constexpr long kNeutralSaturation = 32;

    // `devices` outlives the graph.
    explicit CaptureGraph(const media::DeviceList& devices);
    ~CaptureGraph();

    BuildResult Build(long brightness);

    // True when the device was not found under its first name: I2C goes through the chip
    // control instead of the vendor library.
    bool alternateDevice() const { return alternateDevice_; }
    media::CaptureDevice* device() const { return device_.get(); }
    // The encoder factory found for each camera's recorder; empty when none matched.
    const std::array<std::string, 4>& compressors() const { return compressors_; }

    bool Run();
    // Stops the pipeline (state NULL); frames stop before it returns.
    void Stop();
    // After Stop: clears the grabbers' callbacks and releases the pipeline.
    void TearDown();

    media::FrameRouter& router() { return router_; }

    // Called on the UI thread once when the source fails while running (a device unplugged).
    void SetDeviceLostHandler(std::function<void()> handler) { deviceLost_ = std::move(handler); }

private:
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void OnSourceFailed();

    const media::DeviceList& devices_;
    std::shared_ptr<media::CaptureDevice> device_;
    std::shared_ptr<media::CaptureDevice> deviceRef_;
    bool alternateDevice_ = false;
    std::array<std::string, 4> compressors_;
    media::GstPtr<GstElement> pipeline_;
    media::FrameRouter router_;
    std::function<void()> deviceLost_;
    bool sourceFailed_ = false;
    // Receives the streaming thread's hand-overs; queued calls die with it.
    std::unique_ptr<QObject> uiContext_;
};

}  // namespace ovistra
