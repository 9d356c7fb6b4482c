// The selector at the end of the capture pipeline: each frame goes to the grabber of the
// selected camera, or nowhere (-1). The selection is one atomic index, so the switching thread
// changes it without a lock and the streaming thread never waits.
#pragma once

#include <gst/app/gstappsink.h>

#include <array>
#include <atomic>

#include "frame_grabber.h"

namespace ovistra::media {

class FrameRouter {
public:
    static constexpr int kOutputs = 4;

    // Any thread. An index outside 0..3 selects none.
    void SelectOutput(int index);
    int selectedOutput() const { return selected_.load(std::memory_order_acquire); }

    // One picture is shown (one camera, or the cycling view). Any thread.
    void SetSingleView(bool single) { singleView_.store(single, std::memory_order_relaxed); }
    bool singleView() const { return singleView_.load(std::memory_order_relaxed); }

    FrameGrabber& grabber(int index) { return grabbers_[index]; }

    // Streaming thread: hands the frame to the selected grabber.
    void Deliver(const uint8_t* frame, size_t bytes);

    // Makes `sink` deliver every sample it receives here. The router outlives the sink's
    // streaming.
    void Attach(GstAppSink* sink);

private:
    static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer self);

    std::array<FrameGrabber, kOutputs> grabbers_;
    // --- switching and UI threads write, the streaming thread reads (atomics)
    std::atomic<int> selected_{-1};
    std::atomic<bool> singleView_{false};
};

}  // namespace ovistra::media
