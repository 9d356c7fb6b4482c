#include "pre_alarm_cameras.h"

namespace ovistra {

void PreAlarmCameras::Start(uint32_t cameraMask, uint32_t seconds, media::FrameRouter* router) {
    Stop(router);
    if (seconds == 0) {
        return;
    }
    for (int camera = 1; camera <= kCameras; ++camera) {
        if (((cameraMask >> (camera - 1)) & 1u) != 0) {
            buffers_[camera - 1] = std::make_shared<PreAlarmBuffer>(
                std::chrono::seconds(seconds), size_t{seconds} * kMaxPicturesPerSecond);
        }
    }
    if (router) {
        Follow(*router);
    }
}

void PreAlarmCameras::Follow(media::FrameRouter& router) {
    for (int camera = 1; camera <= kCameras; ++camera) {
        const std::shared_ptr<PreAlarmBuffer>& buffer = buffers_[camera - 1];
        media::FrameGrabber& grabber = router.grabber(camera - 1);
        if (buffer && grabber.pictureTap() != buffer) {
            grabber.SetPictureTap(buffer);
        }
    }
}

void PreAlarmCameras::Stop(media::FrameRouter* router) {
    for (int camera = 1; camera <= kCameras; ++camera) {
        std::shared_ptr<PreAlarmBuffer>& buffer = buffers_[camera - 1];
        if (buffer && router && router->grabber(camera - 1).pictureTap() == buffer) {
            router->grabber(camera - 1).SetPictureTap(nullptr);
        }
        buffer.reset();
    }
}

PreAlarmClip PreAlarmCameras::Take(int camera) {
    if (camera < 1 || camera > kCameras || !buffers_[camera - 1]) {
        return {};
    }
    return buffers_[camera - 1]->Take(PreAlarmBuffer::Clock::now());
}

size_t PreAlarmCameras::bytesHeld() const {
    size_t bytes = 0;
    for (const auto& buffer : buffers_) {
        bytes += buffer ? buffer->bytesHeld() : 0;
    }
    return bytes;
}

}  // namespace ovistra
