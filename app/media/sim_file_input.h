// An input of the simulated device that plays a video file of any format GStreamer decodes, in a
// pipeline of its own, apart from the capture pipeline:
//
//   uridecodebin ! videoconvert ! videoscale ! videorate !
//       video/x-raw,format=YUY2,width=640,height=480,framerate=25/1,pixel-aspect-ratio=1/1 !
//       appsink
//
// The picture keeps its aspect (borders where it needs them). The latest picture is copied into
// the input's own buffer; the device copies it from there into each frame of its input. At the
// file's end it starts again from the beginning. A file damaged further in harms only this
// input: its errors stay on its own bus, decoding stops and the last good picture stays.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace ovistra::media {

struct SimFileInputState;  // what the input shares with its pipeline's callbacks

class SimFileInput {
public:
    // How long Open waits for the first picture.
    static constexpr int kOpenTimeoutMs = 10000;

    // Opens `path` and decodes its first picture. Null when the file is missing, unreadable,
    // has no video stream or no picture within kOpenTimeoutMs; then `error` (if given) holds
    // one line saying why. Call gst_init first.
    static std::shared_ptr<SimFileInput> Open(const std::string& path, std::string* error);

    ~SimFileInput();
    SimFileInput(const SimFileInput&) = delete;
    SimFileInput& operator=(const SimFileInput&) = delete;

    const std::string& path() const { return path_; }

    // Plays the file in real time (from capture start), or holds it (at capture stop). After a
    // decoding error Start does nothing: the input keeps its last good picture.
    // Not thread-safe against each other; call them from one thread.
    void Start();
    void Stop();

    // Copies the latest picture into `frame` (kFrameBytes), rolled up by `rowShift` lines
    // (0..479). Black before the first picture. Thread-safe.
    void CopyLatest(uint8_t* frame, int rowShift) const;

    // --- for tests and statistics; thread-safe
    uint64_t PicturesDecoded() const;  // pictures copied in, the preroll picture included
    bool Failed() const;               // a decoding error stopped the input
    std::string LastError() const;     // one line; empty when none
    // Posts a decoding error on the input's bus, as a damaged stretch of a file can: the same
    // path as a real one (GStreamer's demuxers and decoders mostly skip damage instead).
    void PostErrorForTesting(const std::string& text);

private:
    SimFileInput(std::string path, GstElement* pipeline, std::shared_ptr<SimFileInputState> state);

    const std::string path_;
    GstElement* pipeline_;  // owned
    std::shared_ptr<SimFileInputState> state_;
};

}  // namespace ovistra::media
