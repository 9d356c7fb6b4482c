// Feeds the RTSP paths from the capture's grabbers: at a fixed rate, on a thread of its own,
// each watched camera's latest picture (converted once per new frame, the date and time burnt
// in when asked) and the four-up picture with the cameras' captions. A picture that has not
// changed is sent again as it is. Pushing never blocks: the sources drop what they cannot hold.
#pragma once

#include <gst/gst.h>

#include <QImage>
#include <QString>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "time_stamp.h"

namespace ovistra::media {
class FrameRouter;
}

namespace ovistra::network {

class PictureFeed {
public:
    static constexpr int kCameras = 4;
    static constexpr int kAllPath = kCameras;  // path index of the four-up picture
    static constexpr int kPaths = kCameras + 1;

    PictureFeed() = default;
    ~PictureFeed();  // stops
    PictureFeed(const PictureFeed&) = delete;
    PictureFeed& operator=(const PictureFeed&) = delete;

    // Starts the feed thread at `frameRate` pictures a second (at least 1). Stops it first.
    void Start(uint32_t frameRate);
    // Returns once the feed thread has ended; every source is let go.
    void Stop();

    // Any thread. `source` (an appsrc taking 640x480 I420) gets path `path`'s pictures from now
    // on; a reference is held until Detach or Stop. Detach of a source not attached does nothing.
    void Attach(int path, GstElement* source);
    void Detach(int path, GstElement* source);

    // Any thread. Return once no picture is being read with the settings they replace.
    void SetRouter(media::FrameRouter* router);
    void SetCaptions(const std::array<QString, kCameras>& captions);
    void SetTimeStampMask(uint32_t mask);

private:
    void Run(uint32_t frameRate);
    // One round: refreshes what the attached paths need, then pushes it.
    void Tick(GstClockTime durationNs);
    // --- feed thread only (under inputLock_)
    bool RefreshCamera(int camera, bool stampChanged);
    void ComposeAll();

    // --- guarded by lock_
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::array<std::vector<GstElement*>, kPaths> sources_;
    std::thread thread_;

    // --- guarded by inputLock_ (held by the feed thread while it reads the grabbers)
    std::mutex inputLock_;
    media::FrameRouter* router_ = nullptr;
    std::array<QString, kCameras> captions_;
    uint32_t timeStampMask_ = 0;
    bool captionsChanged_ = true;

    // --- feed thread only
    TimeStamp stamp_;
    std::array<QImage, kCameras> captionMasks_;
    std::array<GstBuffer*, kPaths> latest_{};  // what each path sends; owned
    std::array<uint64_t, kCameras> framesSeen_{};
    std::array<bool, kCameras> fromGrabber_{};  // false: the black picture shown before any
    std::array<bool, kCameras> stampedShown_{};
};

}  // namespace ovistra::network
