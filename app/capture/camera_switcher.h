// The camera-switching thread: visits the enabled cameras in turn, routes the stream to the
// branch of the camera shown, marks fresh frames for recording cameras, and moves the video
// decoder to the next input over I2C, waiting for the picture to settle. A branch is fed only
// once the decoder has settled on its camera's input: the thread remembers the input it last
// wrote, and a camera the enabled set brings in out of turn gets its input written and settled
// first. It never touches a widget: what the window must show is handed over through the hooks.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace ovistra {

// The flags the thread re-reads on every pass. Written by the UI thread unless noted.
struct SwitchState {
    static constexpr int kCameras = 4;

    std::array<std::atomic<int>, kCameras> cameraEnabled{1, 1, 1, 1};
    std::atomic<bool> singleCameraMode{false};
    std::atomic<bool> cyclingView{false};
    std::array<std::atomic<bool>, kCameras> recording{};  // set by the recording control
    std::atomic<int> linkCamera{0};  // hand-over camera 1..4, 5 for all, 0 none

    // --- the switching thread writes, the UI thread may also clear noCameraActive
    std::atomic<int> currentCamera{0};
    std::atomic<bool> noCameraActive{false};
    std::array<std::atomic<int>, kCameras> frameReady{};  // read and cleared by the recorders
};

class CameraSwitcher {
public:
    struct Timings {
        std::function<uint32_t()> eachTimeMs;      // dwell per camera in the cycling view
        std::function<uint32_t()> disTimeMs;       // feed time per camera side by side
        std::function<uint32_t()> intervalTimeMs;  // settling time after an input switch
    };
    // Each runs on the switching thread.
    struct Hooks {
        std::function<void(int camera)> selectOutput;        // -1 routes nowhere
        std::function<void(int camera)> switchDecoderInput;  // the I2C write of register 2
        std::function<void(int camera)> cyclingCameraShown;  // hand the caption and view over
        std::function<void(int camera)> handOver;            // copy the frame to a sibling
    };
    // Replaces the real sleep, for tests that follow the passes step by step; returns false
    // to end the loop.
    using SleepFunction = std::function<bool(uint32_t ms)>;

    CameraSwitcher(SwitchState& state, Timings timings, Hooks hooks, SleepFunction sleep = nullptr);
    ~CameraSwitcher();  // stops

    // UI thread.
    void Start();
    // Ends every sleep at once and joins the thread. Safe to call twice, or before Start.
    void Stop();
    bool running() const { return thread_.joinable(); }

private:
    void Loop();
    bool Sleep(uint32_t ms);
    // The first enabled camera at or after `from`, wrapping; -1 when none is.
    int FirstEnabledFrom(int from) const;
    // A recording camera's recorder takes the frame at its next tick.
    void MarkFrameReady(int camera);
    // Routes nowhere and idles until a camera is enabled again.
    void IdleWithoutCameras();
    // While idle: false, with the idle flag cleared, once a camera is enabled again.
    bool StillIdle();

    SwitchState& state_;
    const Timings timings_;
    const Hooks hooks_;
    const SleepFunction sleep_;
    std::thread thread_;

    // --- guarded by lock_
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
};

}  // namespace ovistra
