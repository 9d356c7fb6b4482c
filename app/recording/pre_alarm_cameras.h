// The pre-alarm buffers of the cameras detection watches, each tapped into its camera's
// grabber while detection runs. UI thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "frame_router.h"
#include "pre_alarm_buffer.h"

namespace ovistra {

class PreAlarmCameras {
public:
    static constexpr int kCameras = media::FrameRouter::kOutputs;
    // The count bound: the device's fastest picture rate (NTSC), so the span bounds first.
    static constexpr uint32_t kMaxPicturesPerSecond = 30;

    // Buffers `seconds` long for the cameras of `cameraMask` (bit N-1: camera N); none at 0
    // seconds. Ends the buffers of an earlier start.
    void Start(uint32_t cameraMask, uint32_t seconds, media::FrameRouter* router);
    // Taps each buffer into its camera's grabber of `router` unless it is tapped there already:
    // a capture built anew has new grabbers.
    void Follow(media::FrameRouter& router);
    // Unhooks the buffers from `router` (null: the capture is gone) and frees them.
    void Stop(media::FrameRouter* router);

    // The camera's (1..4) pictures of the span before now, oldest first; empty when it has
    // none.
    PreAlarmClip Take(int camera);

    bool running(int camera) const { return buffers_[camera - 1] != nullptr; }
    size_t bytesHeld() const;

private:
    std::array<std::shared_ptr<PreAlarmBuffer>, kCameras> buffers_;
};

}  // namespace ovistra
