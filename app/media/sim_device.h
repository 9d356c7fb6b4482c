// The simulated USB 2820-family capture device: four analog inputs, a video decoder at I2C
// address 0x4A whose input register picks the input shown, a video processing amplifier, and a
// source element that puts out 640x480 YUY2 pictures in real time. Each input is a synthetic
// scene (its camera number and marker colour, sensor noise, scripted moving objects) or a video
// file decoded apart from the capture pipeline. Its audio interface puts out a faint hum. A
// model of the hardware, so everything above it runs as it would with a real device.
//
// Every picture carries the input it came from in its bottom-right corner, so a test can tell
// whose picture reached a branch: 8 by 2 pixels, the left four at a luma level of the input,
// the right four at its complement, chroma neutral. It is drawn last, so neither the amplifier
// nor an unsettled roll moves it; it is the same on every picture of an input, so detection
// never sees it change, and too small to matter on stills and recordings.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture_device.h"
#include "chip_property_over_bus.h"

namespace ovistra::media {

class SimFileInput;
class SimScene;

// Camera `camera` (1..4) sees an object from startSeconds to endSeconds after capture starts.
struct SimMotionSpan {
    int camera;
    double startSeconds;
    double endSeconds;
};

// Camera `camera` (1..4) is lit by a lamp from startSeconds to endSeconds after capture starts:
// the whole picture brighter at once, as when a light is switched on, and back at the end.
struct SimLightSpan {
    int camera;
    double startSeconds;
    double endSeconds;
};

// The device is unplugged from startSeconds to endSeconds after its first capture start: its
// source fails at the start and the device is there again at the end.
struct SimUnplugSpan {
    double startSeconds;
    double endSeconds;
};

struct SimDeviceConfig {
    std::string name = "USB 2.0 A/V Converter";
    std::vector<SimMotionSpan> motions;
    std::vector<SimLightSpan> lights;
    std::array<bool, 4> nights{};  // a dark scene with strong sensor noise
    std::array<std::shared_ptr<SimFileInput>, 4> files;  // null: the synthetic scene
    int settleMs = 120;                                  // unsettled pictures after an input change
    uint32_t seed = 2820;
    std::vector<SimUnplugSpan> unplugs;
};

inline constexpr int kSimInputMarkWidth = 8;
inline constexpr int kSimInputMarkHeight = 2;
inline constexpr int kSimInputMarkLeft = kFrameWidth - kSimInputMarkWidth;
inline constexpr int kSimInputMarkTop = kFrameHeight - kSimInputMarkHeight;

class SimulatedDevice final : public CaptureDevice,
                              public I2cBus,
                              public VideoProcAmp,
                              public Crossbar,
                              public std::enable_shared_from_this<SimulatedDevice> {
public:
    explicit SimulatedDevice(SimDeviceConfig config);
    ~SimulatedDevice() override;

    // --- CaptureDevice
    std::string FriendlyName() const override { return config_.name; }
    // A new "ovistrasimsrc" (floating) bound to this device. The element holds a shared
    // reference to the device when a std::shared_ptr owns it (make_shared); a device made
    // otherwise must outlive every element it made.
    GstElement* MakeSourceElement() override;
    IChipProperty* ChipProperty() override { return &chipProperty_; }
    I2cBus* Bus() override { return this; }
    VideoProcAmp* ProcAmp() override { return this; }
    Crossbar* CrossbarControl() override { return this; }
    int VideoStandard() const override { return standard_.load(); }
    // The stick's audio interface, nothing plugged into its line input: a faint mains hum.
    std::string AudioInputName() const override { return config_.name + " Audio"; }
    GstElement* MakeAudioSourceElement() override;

    // --- I2cBus: the decoder's registers; other addresses refuse. Thread-safe.
    bool WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) override;

    // --- VideoProcAmp: brightness 0..255 (neutral 100), contrast 0..63, hue 0..127,
    // saturation 0..63 (neutral 32), sharpness 0..15. Thread-safe.
    HRESULT GetRange(ProcAmpProperty property, ProcAmpRange* range) override;
    HRESULT Get(ProcAmpProperty property, long* value, long* flags) override;
    HRESULT Set(ProcAmpProperty property, long value, long flags) override;

    // --- Crossbar
    HRESULT Route(int outputPin, int inputPin) override;

    // --- the picture; called by the source element's streaming thread
    // Writes the picture put out `elapsedNs` after capture start into `frame` (kFrameBytes):
    // the selected input, unsettled for settleMs after an input change (a monotonic clock
    // measures it), amplifier applied. Thread-safe.
    void RenderFrame(uint8_t* frame, int64_t elapsedNs);
    int FramesPerSecond() const;  // 25 with the PAL standard, 30 with NTSC; thread-safe
    int SelectedInput() const;    // 0..3; thread-safe

    // File inputs decode from capture start to capture stop. Call both from one thread.
    void StartInputs();
    void StopInputs();

    void SetSettleMs(int ms);  // thread-safe; negative counts as 0

    // False while the device is unplugged; thread-safe.
    bool Present() const override;

    // The camera (1..4) whose marker a picture of this device shows, 0 when none does.
    static int CameraShownIn(const uint8_t* frame);
    // Draws the mark of `input` (0..3) into `frame` (kFrameBytes).
    static void MarkInput(uint8_t* frame, int input);
    // The input (0..3) whose mark `frame` carries, -1 when it carries none (or null).
    static int InputMarkedIn(const uint8_t* frame);

    // --- small helpers for the station's statistics and for tests; thread-safe
    uint64_t InputSwitches() const { return inputSwitches_.load(); }  // real input changes
    int SettleMs() const { return settleMs_.load(); }
    // True while pictures are unsettled after the last input change.
    bool Unsettled() const;

private:
    ProcAmpRange RangeOf(ProcAmpProperty property) const;
    void WatchForUnplug(GstElement* element);

    SimDeviceConfig config_;
    ChipPropertyOverBus chipProperty_;
    std::array<std::unique_ptr<SimScene>, 4> scenes_;
    std::vector<int16_t> rollNoise_;  // heavy luma noise of file inputs' unsettled pictures
    // --- written by any thread (bus, amplifier), read by the streaming thread (atomics)
    std::mutex busLock_;  // serialises writers of the decoder's registers
    std::atomic<int> input_{0};
    std::atomic<int> standard_{kStandardPal};
    std::atomic<int64_t> inputChangedNs_{-1};  // monotonic time of the last input change
    std::atomic<int> settleMs_;
    std::atomic<uint64_t> inputSwitches_{0};
    std::atomic<int64_t> firstStartNs_{-1};  // monotonic time of the first capture start
    std::array<std::atomic<long>, 5> procAmp_;
    std::array<std::atomic<long>, 5> procAmpFlags_;
};

}  // namespace ovistra::media
