#include "camera_switcher.h"

#include <algorithm>
#include <chrono>

namespace ovistra {
namespace {

constexpr uint32_t kIdleMs = 5;
constexpr uint32_t kSingleCameraSettleMs = 7;
// Even with every timing at 0 a pass sleeps this long, so the thread never spins a core.
constexpr uint32_t kShortestPassMs = 1;
constexpr int kUnknownInput = -1;

}  // namespace

CameraSwitcher::CameraSwitcher(SwitchState& state, Timings timings, Hooks hooks,
                               SleepFunction sleep)
    : state_(state),
      timings_(std::move(timings)),
      hooks_(std::move(hooks)),
      sleep_(std::move(sleep)) {}

CameraSwitcher::~CameraSwitcher() {
    Stop();
}

void CameraSwitcher::Start() {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        stopRequested_ = false;
    }
    thread_ = std::thread([this] { Loop(); });
}

void CameraSwitcher::Stop() {
    {
        std::lock_guard guard(lock_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool CameraSwitcher::Sleep(uint32_t ms) {
    if (sleep_) {
        return sleep_(ms);
    }
    std::unique_lock guard(lock_);
    wake_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopRequested_; });
    return !stopRequested_;
}

int CameraSwitcher::FirstEnabledFrom(int from) const {
    for (int step = 0; step < SwitchState::kCameras; ++step) {
        const int camera = (from + step) % SwitchState::kCameras;
        if (state_.cameraEnabled[camera].load() != 0) {
            return camera;
        }
    }
    return -1;
}

void CameraSwitcher::MarkFrameReady(int camera) {
    if (state_.recording[camera].load()) {
        state_.frameReady[camera].store(1);
    }
}

void CameraSwitcher::IdleWithoutCameras() {
    hooks_.selectOutput(-1);
    state_.noCameraActive.store(true);
}

bool CameraSwitcher::StillIdle() {
    if (FirstEnabledFrom(0) < 0) {
        return true;
    }
    // Enabled between the last look and the flag being set, whose clearing came too early.
    state_.noCameraActive.store(false);
    return false;
}

void CameraSwitcher::Loop() {
    state_.currentCamera.store(0);
    // A real decoder's input is unknown at first and, as nothing watches the device while
    // idle, again after an idle spell.
    int written = kUnknownInput;
    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (stopRequested_) {
                return;
            }
        }
        if (state_.noCameraActive.load() && StillIdle()) {
            if (!Sleep(kIdleMs)) {
                return;
            }
            continue;
        }
        const int camera = FirstEnabledFrom(state_.currentCamera.load());
        if (camera < 0) {
            // Ending the pass here keeps a switched-off camera's branch from being fed.
            IdleWithoutCameras();
            written = kUnknownInput;
            continue;
        }
        state_.currentCamera.store(camera);
        if (camera != written) {
            // The enabled set changed while the decoder settled on another input (or its
            // input is unknown): no branch takes pictures until this camera's has settled.
            hooks_.selectOutput(-1);
            written = camera;
            hooks_.switchDecoderInput(camera);
            if (!Sleep(std::max(timings_.intervalTimeMs(), kShortestPassMs))) {
                return;
            }
            continue;
        }
        uint32_t sleptMs = 0;
        const int link = state_.linkCamera.load();
        const bool handOver = hooks_.handOver && (link == camera + 1 || link == 5);
        const bool cycling = state_.cyclingView.load();
        if (cycling) {
            if (hooks_.cyclingCameraShown) {
                hooks_.cyclingCameraShown(camera);
            }
            hooks_.selectOutput(camera);
            MarkFrameReady(camera);
            const uint32_t dwellMs = timings_.eachTimeMs();
            if (!Sleep(dwellMs)) {
                return;
            }
            sleptMs += dwellMs;
            hooks_.selectOutput(-1);
            if (handOver) {
                hooks_.handOver(camera);
            }
        } else {
            hooks_.selectOutput(camera);
            const uint32_t feedMs = timings_.disTimeMs();
            if (!Sleep(feedMs)) {
                return;
            }
            sleptMs += feedMs;
            MarkFrameReady(camera);
            if (handOver) {
                hooks_.handOver(camera);
            }
        }
        const int next = FirstEnabledFrom((camera + 1) % SwitchState::kCameras);
        if (next < 0) {
            IdleWithoutCameras();
            written = kUnknownInput;
            continue;
        }
        if (next != camera && !cycling) {
            // Frames of the next input must not reach this camera's branch while it settles.
            hooks_.selectOutput(-1);
        }
        state_.currentCamera.store(next);
        written = next;
        hooks_.switchDecoderInput(next);
        // The short pause only rewrites the input shown; a new input always settles in full.
        const uint32_t settleMs = state_.singleCameraMode.load() && next == camera
                                      ? kSingleCameraSettleMs
                                      : timings_.intervalTimeMs();
        if (!Sleep(settleMs)) {
            return;
        }
        sleptMs += settleMs;
        if (sleptMs < kShortestPassMs && !Sleep(kShortestPassMs)) {
            return;
        }
    }
}

}  // namespace ovistra
