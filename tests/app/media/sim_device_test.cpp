// The simulated device as the station drives it: the decoder's registers over the bus and the
// chip property path, settling after an input change, the amplifier, the crossbar.
#include "sim_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sim_scene.h"

namespace {

using namespace ovistra::media;

constexpr int64_t kPalFrameNs = 40000000;
using Frame = std::vector<uint8_t>;

Frame RenderAt(SimulatedDevice& device, int64_t elapsedNs) {
    Frame frame(kFrameBytes);
    device.RenderFrame(frame.data(), elapsedNs);
    return frame;
}

// The settled, unadjusted picture of `camera` (1..4) at `elapsedNs`, with its input's mark.
Frame SceneAt(int camera, int64_t elapsedNs, uint32_t seed = 2820) {
    const SimScene scene(camera, seed, {});
    Frame frame(kFrameBytes);
    scene.Render(frame.data(), elapsedNs, elapsedNs / kPalFrameNs, 0);
    SimulatedDevice::MarkInput(frame.data(), camera - 1);
    return frame;
}

double MeanLumaDifference(const Frame& a, const Frame& b) {
    int64_t sum = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        sum += std::abs(a[i] - b[i]);
    }
    return static_cast<double>(sum) / (kFrameBytes / 2);
}

bool WriteRegister(SimulatedDevice& device, uint8_t reg, uint8_t value) {
    return device.WriteI2c(kDecoderAddress, reg, &value, 1);
}

SimDeviceConfig QuickSettling() {
    SimDeviceConfig config;
    config.settleMs = 0;
    return config;
}

TEST(SimDeviceDecoder, RegistersAcceptWhatTheDecoderTakes) {
    struct Case {
        uint8_t address;
        uint8_t reg;
        std::vector<uint8_t> bytes;
        bool nullBytes;
        bool accepted;
        int input;  // afterwards
        int framesPerSecond;
    };
    const Case cases[] = {
        {0x4A, 2, {0}, false, true, 0, 25},
        {0x4A, 2, {1}, false, true, 1, 25},
        {0x4A, 2, {2}, false, true, 2, 25},
        {0x4A, 2, {3}, false, true, 3, 25},
        {0x4A, 2, {4}, false, false, 0, 25},
        {0x4A, 2, {0xFF}, false, false, 0, 25},
        {0x4B, 2, {1}, false, false, 0, 25},
        {0x00, 2, {1}, false, false, 0, 25},
        {0x4A, 2, {}, false, false, 0, 25},  // count 0
        {0x4A, 2, {1}, true, false, 0, 25},  // no bytes
        {0x4A, 8, {0x41}, false, true, 0, 30},
        {0x4A, 8, {0x01}, false, true, 0, 25},
        {0x4A, 8, {0x02}, false, false, 0, 25},
        {0x4A, 8, {0x40}, false, false, 0, 25},
        {0x4A, 8, {}, false, false, 0, 25},
        {0x4A, 3, {1}, false, false, 0, 25},     // a register the model has not
        {0x4A, 2, {1, 0}, false, false, 0, 25},  // runs on into register 3: none written
        {0x4A, 7, {0, 0x41}, false, false, 0, 25},
    };
    for (const Case& c : cases) {
        SimulatedDevice device(QuickSettling());
        const uint8_t* bytes = c.nullBytes ? nullptr : c.bytes.data();
        const size_t count = c.nullBytes ? 1 : c.bytes.size();
        EXPECT_EQ(device.WriteI2c(c.address, c.reg, bytes, count), c.accepted)
            << "address " << int{c.address} << " register " << int{c.reg} << " count " << count;
        EXPECT_EQ(device.SelectedInput(), c.input) << "register " << int{c.reg};
        EXPECT_EQ(device.FramesPerSecond(), c.framesPerSecond) << "register " << int{c.reg};
    }
}

TEST(SimDeviceDecoder, TheSelectedInputIsTheCameraShown) {
    SimulatedDevice device(QuickSettling());
    for (const uint8_t input : {0, 1, 2, 3, 2, 0, 3, 1}) {
        ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, input));
        EXPECT_EQ(device.SelectedInput(), input);
        for (int64_t frame = 0; frame < 3; ++frame) {
            EXPECT_EQ(SimulatedDevice::CameraShownIn(RenderAt(device, frame * kPalFrameNs).data()),
                      input + 1)
                << "input " << int{input};
        }
    }
    EXPECT_EQ(device.InputSwitches(), 7u);
}

TEST(SimDeviceDecoder, EveryPictureCarriesTheMarkOfItsInput) {
    SimDeviceConfig config;
    config.settleMs = 10000;  // every picture below is unsettled, rolling and noisy
    SimulatedDevice device(config);
    struct Case {
        uint8_t input;
        long brightness, contrast;
    };
    const Case cases[] = {{2, 100, 32}, {0, 255, 63}, {3, 0, 0}, {1, 100, 32}};
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, c.input));
        ASSERT_EQ(device.Set(ProcAmpProperty::Brightness, c.brightness, 0), S_OK);
        ASSERT_EQ(device.Set(ProcAmpProperty::Contrast, c.contrast, 0), S_OK);
        for (int64_t frame = 0; frame < 3; ++frame) {
            EXPECT_EQ(SimulatedDevice::InputMarkedIn(RenderAt(device, frame * kPalFrameNs).data()),
                      c.input)
                << "input " << int{c.input} << " brightness " << c.brightness;
        }
    }
    // Pictures that were never marked carry no mark.
    Frame scene(kFrameBytes);
    SimScene(4, 2820, {}).Render(scene.data(), 0, 0, 0);
    EXPECT_EQ(SimulatedDevice::InputMarkedIn(scene.data()), -1);
    EXPECT_EQ(SimulatedDevice::InputMarkedIn(Frame(kFrameBytes, 128).data()), -1);
    EXPECT_EQ(SimulatedDevice::InputMarkedIn(nullptr), -1);
}

TEST(SimDeviceDecoder, ARefusedValueLeavesTheInput) {
    SimulatedDevice device(QuickSettling());
    ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, 2));
    EXPECT_FALSE(WriteRegister(device, kDecoderInputRegister, 9));
    EXPECT_EQ(device.SelectedInput(), 2);
    EXPECT_FALSE(WriteRegister(device, kDecoderStandardRegister, 0x33));
    EXPECT_EQ(device.FramesPerSecond(), 25);
}

TEST(SimDeviceDecoder, TheChipPropertyPathReachesTheDecoder) {
    SimulatedDevice device(QuickSettling());
    IChipProperty* chip = device.ChipProperty();
    ASSERT_NE(chip, nullptr);
    uint32_t value = 0;
    EXPECT_EQ(chip->GetValue(kPropChipId, &value), S_OK);
    EXPECT_EQ(value & 0xFF, 50u);
    EXPECT_EQ(chip->GetValue(kProp4135, &value), S_OK);
    EXPECT_EQ(chip->GetValue(kProp4136, &value), S_OK);

    // WriteI2C(0x4A, 2, 1, 3): command word 0x014A0201, then the byte.
    const uint32_t selectInput = 0x014A0201;
    const uint8_t input = 3;
    EXPECT_EQ(chip->SetValue(kPropI2cCommand, &selectInput), S_OK);
    EXPECT_EQ(chip->SetValue(kPropI2cData, &input), S_OK);
    EXPECT_EQ(device.SelectedInput(), 3);

    const uint32_t ntsc = 0x014A0801;
    const uint8_t standard = kStandardNtsc;
    EXPECT_EQ(chip->SetValue(kPropI2cCommand, &ntsc), S_OK);
    EXPECT_EQ(chip->SetValue(kPropI2cData, &standard), S_OK);
    EXPECT_EQ(device.FramesPerSecond(), 30);

    const uint8_t bad = 7;
    EXPECT_EQ(chip->SetValue(kPropI2cCommand, &selectInput), S_OK);
    EXPECT_EQ(chip->SetValue(kPropI2cData, &bad), E_FAIL);
    EXPECT_EQ(device.SelectedInput(), 3);
}

TEST(SimDeviceDecoder, TheBusIsTheDeviceItself) {
    SimulatedDevice device(QuickSettling());
    ASSERT_NE(device.Bus(), nullptr);
    const uint8_t input = 1;
    EXPECT_TRUE(device.Bus()->WriteI2c(0x4A, 2, &input, 1));
    EXPECT_EQ(device.SelectedInput(), 1);
    EXPECT_EQ(device.FriendlyName(), "USB 2.0 A/V Converter");
    SimDeviceConfig named;
    named.name = "USB 2820 Video";
    EXPECT_EQ(SimulatedDevice(named).FriendlyName(), "USB 2820 Video");
}

TEST(SimDeviceSettling, PicturesRollAfterAnInputChangeAndSettleInTime) {
    SimDeviceConfig config;
    config.settleMs = 250;
    SimulatedDevice device(config);
    EXPECT_EQ(RenderAt(device, 0), SceneAt(1, 0)) << "settled from the start";

    ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, 1));
    const int64_t at = 7 * kPalFrameNs;
    const Frame unsettled = RenderAt(device, at);
    ASSERT_TRUE(device.Unsettled()) << "the test thread was held up for the whole settle time";
    EXPECT_GT(MeanLumaDifference(unsettled, SceneAt(2, at)), 20.0);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(device.Unsettled());
    EXPECT_EQ(RenderAt(device, at), SceneAt(2, at));
}

TEST(SimDeviceSettling, RewritingTheCurrentInputChangesNothing) {
    SimDeviceConfig config;
    config.settleMs = 10000;
    SimulatedDevice device(config);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, 0));
    }
    EXPECT_FALSE(device.Unsettled());
    EXPECT_EQ(device.InputSwitches(), 0u);
    EXPECT_EQ(RenderAt(device, kPalFrameNs), SceneAt(1, kPalFrameNs));
}

TEST(SimDeviceSettling, TheSettleTimeCanBeChanged) {
    SimDeviceConfig config;
    EXPECT_EQ(config.settleMs, 120);
    SimulatedDevice device(config);
    EXPECT_EQ(device.SettleMs(), 120);
    device.SetSettleMs(0);
    ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, 3));
    EXPECT_FALSE(device.Unsettled());
    EXPECT_EQ(RenderAt(device, 0), SceneAt(4, 0));
    device.SetSettleMs(10000);
    EXPECT_TRUE(device.Unsettled());
    device.SetSettleMs(-5);
    EXPECT_EQ(device.SettleMs(), 0);
}

TEST(SimDeviceProcAmp, RangesDefaultsAndRefusals) {
    struct Case {
        ProcAmpProperty property;
        long min, max, defaultValue;
    };
    const Case cases[] = {
        {ProcAmpProperty::Brightness, 0, 255, 100}, {ProcAmpProperty::Contrast, 0, 63, 32},
        {ProcAmpProperty::Hue, 0, 127, 64},         {ProcAmpProperty::Saturation, 0, 63, 32},
        {ProcAmpProperty::Sharpness, 0, 15, 0},
    };
    SimulatedDevice device(QuickSettling());
    VideoProcAmp* amp = device.ProcAmp();
    ASSERT_NE(amp, nullptr);
    for (const Case& c : cases) {
        const int which = static_cast<int>(c.property);
        ProcAmpRange range{};
        ASSERT_EQ(amp->GetRange(c.property, &range), S_OK) << which;
        EXPECT_EQ(range.min, c.min) << which;
        EXPECT_EQ(range.max, c.max) << which;
        EXPECT_EQ(range.step, 1) << which;
        EXPECT_EQ(range.defaultValue, c.defaultValue) << which;
        EXPECT_NE(range.flags & kProcAmpFlagsManual, 0) << which;

        long value = -1, flags = -1;
        ASSERT_EQ(amp->Get(c.property, &value, &flags), S_OK);
        EXPECT_EQ(value, c.defaultValue) << which;

        EXPECT_EQ(amp->Set(c.property, c.max, 0), S_OK) << which;
        EXPECT_EQ(amp->Set(c.property, c.min, kProcAmpFlagsManual), S_OK) << which;
        EXPECT_EQ(amp->Set(c.property, c.max + 1, 0), E_INVALIDARG) << which;
        EXPECT_EQ(amp->Set(c.property, c.min - 1, 0), E_INVALIDARG) << which;
        ASSERT_EQ(amp->Get(c.property, &value, &flags), S_OK);
        EXPECT_EQ(value, c.min) << which << ": a refused value changed it";
        EXPECT_EQ(flags, kProcAmpFlagsManual) << which;

        EXPECT_EQ(amp->Set(c.property, c.defaultValue, 0), S_OK);
        ASSERT_EQ(amp->Get(c.property, &value, &flags), S_OK);
        EXPECT_EQ(flags, 0) << which << ": flags are stored as given";
    }
    ProcAmpRange range{};
    long value = 0, flags = 0;
    EXPECT_EQ(amp->GetRange(ProcAmpProperty::Hue, nullptr), E_POINTER);
    EXPECT_EQ(amp->Get(ProcAmpProperty::Hue, nullptr, &flags), E_POINTER);
    EXPECT_EQ(amp->GetRange(static_cast<ProcAmpProperty>(9), &range), E_INVALIDARG);
    EXPECT_EQ(amp->Get(static_cast<ProcAmpProperty>(9), &value, &flags), E_INVALIDARG);
    EXPECT_EQ(amp->Set(static_cast<ProcAmpProperty>(9), 0, 0), E_INVALIDARG);
}

TEST(SimDeviceProcAmp, NeutralSettingsLeaveThePictureAlone) {
    SimulatedDevice device(QuickSettling());
    ASSERT_EQ(device.Set(ProcAmpProperty::Sharpness, 15, 0), S_OK);  // stored, no effect
    EXPECT_EQ(RenderAt(device, 3 * kPalFrameNs), SceneAt(1, 3 * kPalFrameNs));
}

TEST(SimDeviceProcAmp, BrightnessMovesTheLumaAndContrastScalesIt) {
    struct Case {
        long brightness, contrast;
        int sceneLuma, expectedLuma;
    };
    const Case cases[] = {
        {130, 32, 100, 130}, {70, 32, 100, 70},  {255, 32, 150, 255}, {0, 32, 55, 0},
        {100, 63, 100, 181}, {100, 16, 100, 58}, {100, 0, 150, 16},   {110, 48, 80, 122},
    };
    for (const Case& c : cases) {
        SimulatedDevice device(QuickSettling());
        ASSERT_EQ(device.Set(ProcAmpProperty::Brightness, c.brightness, 0), S_OK);
        ASSERT_EQ(device.Set(ProcAmpProperty::Contrast, c.contrast, 0), S_OK);
        const Frame scene = SceneAt(1, 0);
        const Frame adjusted = RenderAt(device, 0);
        int checked = 0;
        for (size_t i = 0; i < kFrameBytes; i += 2) {
            if (scene[i] == c.sceneLuma) {
                ASSERT_EQ(adjusted[i], c.expectedLuma) << c.brightness << "/" << c.contrast;
                ++checked;
            }
            ASSERT_EQ(adjusted[i + 1], scene[i + 1]) << "chroma changed";
        }
        EXPECT_GT(checked, 0) << "luma " << c.sceneLuma << " is nowhere in the scene";
    }
}

TEST(SimDeviceProcAmp, SaturationZeroIsGreyAndHueTurnsTheColours) {
    SimulatedDevice device(QuickSettling());
    ASSERT_EQ(device.Set(ProcAmpProperty::Saturation, 0, 0), S_OK);
    const Frame grey = RenderAt(device, 0);
    const Frame scene = SceneAt(1, 0);
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        ASSERT_EQ(grey[i + 1], 128) << "byte " << i + 1;
        ASSERT_EQ(grey[i], scene[i]) << "luma changed";
    }
    EXPECT_EQ(SimulatedDevice::CameraShownIn(grey.data()), 0);

    // Half a turn: red's chroma (90, 240) becomes its opposite (166, 16).
    ASSERT_EQ(device.Set(ProcAmpProperty::Saturation, 32, 0), S_OK);
    ASSERT_EQ(device.Set(ProcAmpProperty::Hue, 0, 0), S_OK);
    const Frame turned = RenderAt(device, 0);
    const size_t marker = size_t(kSimMarkerTop + 10) * kFrameStride + (kSimMarkerLeft + 10) * 2;
    EXPECT_NEAR(turned[marker + 1], 166, 1);
    EXPECT_NEAR(turned[marker + 3], 16, 1);

    // Double saturation pushes chroma away from 128.
    ASSERT_EQ(device.Set(ProcAmpProperty::Hue, 64, 0), S_OK);
    ASSERT_EQ(device.Set(ProcAmpProperty::Saturation, 63, 0), S_OK);
    const Frame vivid = RenderAt(device, 0);
    EXPECT_LT(vivid[marker + 1], 90);
    EXPECT_EQ(vivid[marker + 3], 255);
}

TEST(SimDeviceProcAmp, HueAndSaturationFollowTheFormula) {
    // The formula of the amplifier's chroma, worked in the test on the marker's colour.
    const auto reference = [](int hue, int saturation, int u, int v) {
        const double angle = (hue - 64) * 3.14159265358979323846 / 64.0;
        const double gain = saturation / 32.0;
        const auto c = static_cast<int>(std::lround(std::cos(angle) * gain * 64.0));
        const auto s = static_cast<int>(std::lround(std::sin(angle) * gain * 64.0));
        const int du = u - 128, dv = v - 128;
        return std::pair<int, int>{std::clamp(128 + ((c * du - s * dv + 32) >> 6), 0, 255),
                                   std::clamp(128 + ((s * du + c * dv + 32) >> 6), 0, 255)};
    };
    struct Case {
        long hue, saturation;
    };
    const Case cases[] = {{64, 0},  {64, 16}, {64, 63}, {0, 32},   {32, 32},
                          {96, 32}, {127, 1}, {10, 50}, {100, 20}, {127, 63}};
    for (int camera = 1; camera <= 4; ++camera) {
        const SimMarkerColour colour = kSimMarkerColours[camera - 1];
        for (const Case& c : cases) {
            SimulatedDevice device(QuickSettling());
            const uint8_t input = static_cast<uint8_t>(camera - 1);
            ASSERT_TRUE(WriteRegister(device, kDecoderInputRegister, input));
            ASSERT_EQ(device.Set(ProcAmpProperty::Hue, c.hue, 0), S_OK);
            ASSERT_EQ(device.Set(ProcAmpProperty::Saturation, c.saturation, 0), S_OK);
            const Frame frame = RenderAt(device, 0);
            const size_t at = size_t(kSimMarkerTop + 20) * kFrameStride + (kSimMarkerLeft + 20) * 2;
            const auto [u, v] = reference(int(c.hue), int(c.saturation), colour.u, colour.v);
            EXPECT_EQ(frame[at + 1], u)
                << "camera " << camera << " hue " << c.hue << " sat " << c.saturation;
            EXPECT_EQ(frame[at + 3], v)
                << "camera " << camera << " hue " << c.hue << " sat " << c.saturation;
        }
    }
}

TEST(SimDeviceCrossbar, OnlyTheCompositeRouteExists) {
    SimulatedDevice device(QuickSettling());
    Crossbar* crossbar = device.CrossbarControl();
    ASSERT_NE(crossbar, nullptr);
    EXPECT_EQ(crossbar->Route(0, 1), S_OK);
    EXPECT_EQ(crossbar->Route(0, 0), E_INVALIDARG);
    EXPECT_EQ(crossbar->Route(1, 1), E_INVALIDARG);
    EXPECT_EQ(crossbar->Route(-1, 2), E_INVALIDARG);
}

TEST(SimDeviceThreads, SwitchingWhileRenderingKeepsEveryPictureWhole) {
    SimulatedDevice device(QuickSettling());
    std::atomic<bool> stop{false};
    std::thread switcher([&] {
        uint8_t input = 0;
        while (!stop.load()) {
            input = static_cast<uint8_t>((input + 1) % 4);
            WriteRegister(device, kDecoderInputRegister, input);
            device.Set(ProcAmpProperty::Brightness, 90 + input * 5, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    Frame frame(kFrameBytes);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int rendered = 0;
    while ((rendered < 100 || device.InputSwitches() < 20) &&
           std::chrono::steady_clock::now() < deadline) {
        device.RenderFrame(frame.data(), rendered * kPalFrameNs);
        ASSERT_NE(SimulatedDevice::CameraShownIn(frame.data()), 0) << "picture " << rendered;
        ++rendered;
    }
    stop = true;
    switcher.join();
    EXPECT_GE(device.InputSwitches(), 20u);
}

}  // namespace
