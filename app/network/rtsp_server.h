// The station's RTSP server: /camera1 .. /camera4 and /all (the four pictures side by side),
// each path's encoder running only while a client watches it and shared by all its clients.
// The server runs its own main loop on a thread of its own; nothing a client does ever waits
// on the UI thread, the capture, the recordings or detection.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "rtsp_config.h"

namespace ovistra::media {
class FrameRouter;
}

namespace ovistra::network {

class RtspServer {
public:
    struct Started {
        bool ok = false;
        QString url;     // "rtsp://ADDRESS:PORT/" once listening
        // Why it did not start, one word for the rtsp-refused event: "credentials" (bound
        // beyond loopback without them), "address" (not an address of this machine), "port"
        // (taken or not allowed), "encoder" (no element can encode the pictures).
        QString reason;
    };

    RtspServer();
    ~RtspServer();  // stops
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    // UI thread. Stops a running server first.
    Started Start(const RtspServerConfig& config);
    // UI thread. Every client is dropped; returns once the server's thread has ended.
    void Stop();
    bool running() const;

    // UI thread. The capture's router whose grabbers feed the paths; null while there is no
    // capture (the paths then repeat their last picture). Returns once no picture is being
    // read from the router it replaces, so that router may then go.
    void SetRouter(media::FrameRouter* router);
    // UI thread. The cameras' names, burnt into the /all picture.
    void SetCaptions(const std::array<QString, 4>& captions);
    // UI thread. Bit N-1: camera N's pictures carry the date and time, as its recordings do.
    void SetTimeStampMask(uint32_t mask);

    // Sessions open now, all paths together. Any thread.
    uint32_t sessions() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ovistra::network
