// The switching thread over the simulated device's pictures: whatever the enabled set does, a
// camera's branch takes no picture of another input.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "camera_switcher.h"
#include "capture_graph.h"
#include "sim_device.h"

namespace {

using namespace ovistra;
using namespace std::chrono_literals;

// What the UI thread does after every camera on/off change, as far as the thread sees it.
void ApplyEnableSet(SwitchState& state) {
    int enabled = 0;
    for (const auto& flag : state.cameraEnabled) {
        enabled += flag.load() != 0 ? 1 : 0;
    }
    state.singleCameraMode = enabled == 1;
    if (enabled > 0) {
        state.noCameraActive = false;
    }
}

// Plays a restless user for `duration`: cameras on and off a few milliseconds apart, so changes
// land in every step of a pass; now and then all of them off and some back on, or the cycling
// view toggled.
void ToggleRestlessly(SwitchState& state, std::chrono::milliseconds duration) {
    std::mt19937 random(2820);
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(random); };
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(between(1, 60)));
        const int action = between(0, 19);
        if (action == 0) {
            state.cyclingView = !state.cyclingView.load();
        } else if (action <= 2) {
            for (auto& flag : state.cameraEnabled) {
                flag = 0;
            }
            ApplyEnableSet(state);
            std::this_thread::sleep_for(std::chrono::milliseconds(between(1, 20)));
            for (auto& flag : state.cameraEnabled) {
                flag = between(0, 1);
            }
        } else {
            auto& flag = state.cameraEnabled[between(0, 3)];
            flag = flag.load() != 0 ? 0 : 1;
        }
        ApplyEnableSet(state);
    }
}

TEST(CameraSwitchingPictures, NoBranchTakesAPictureOfAnotherInputWhileTheEnabledSetChanges) {
    gst_init(nullptr, nullptr);
    std::array<std::atomic<int>, 4> own{};
    std::array<std::atomic<int>, 4> foreign{};
    media::SimDeviceConfig config;
    config.settleMs = 10;
    auto device = std::make_shared<media::SimulatedDevice>(config);
    media::StaticDeviceList devices;
    devices.Add(media::DeviceCategory::VideoInput, device);
    CaptureGraph graph(devices);
    ASSERT_EQ(graph.Build(100), CaptureGraph::BuildResult::Built);
    media::FrameRouter& router = graph.router();
    for (int camera = 0; camera < 4; ++camera) {
        media::FrameGrabber& grabber = router.grabber(camera);
        grabber.SetFrameCallback([&grabber, &own, &foreign, camera] {
            const media::FrameGrabber::Lease lease = grabber.GetBuffer();
            const bool mine = media::SimulatedDevice::InputMarkedIn(lease.data()) == camera;
            ++(mine ? own : foreign)[camera];
        });
    }

    SwitchState state;
    CameraSwitcher::Hooks hooks;
    hooks.selectOutput = [&router](int camera) { router.SelectOutput(camera); };
    hooks.switchDecoderInput = [&device](int camera) {
        const auto input = static_cast<uint8_t>(camera);
        device->WriteI2c(media::kDecoderAddress, media::kDecoderInputRegister, &input, 1);
    };
    // Feeds of two pictures at most; settling well over the time a picture takes from the
    // decoder to its grabber.
    CameraSwitcher switcher(state, {[] { return 80u; }, [] { return 80u; }, [] { return 30u; }},
                            hooks);
    ASSERT_TRUE(graph.Run());
    switcher.Start();
    ToggleRestlessly(state, 2000ms);
    switcher.Stop();
    graph.Stop();

    int pictures = 0;
    for (int camera = 0; camera < 4; ++camera) {
        EXPECT_EQ(foreign[camera], 0) << "camera " << camera + 1;
        pictures += own[camera];
    }
    EXPECT_GT(pictures, 15) << "too few pictures reached the branches to prove anything";
}

}  // namespace
