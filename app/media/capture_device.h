// The capture device as the capture layer sees it: a named device that makes the source element
// of the capture pipeline and offers the control interfaces of a USB 2820-family device. The
// simulated device and a real V4L2 device both implement it; tests fill a device list with
// devices of their own.
#pragma once

#include <gst/gst.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hresult.h"

namespace ovistra::media {

// The one capture format: 640x480 YUY2, lines top to bottom.
inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;
inline constexpr int kFrameStride = 1280;
inline constexpr size_t kFrameBytes = 614400;

// The video decoder on the device's I2C bus and its two registers the station writes.
inline constexpr uint8_t kDecoderAddress = 0x4A;
inline constexpr uint8_t kDecoderInputRegister = 2;     // 0..3: analog input 1..4
inline constexpr uint8_t kDecoderStandardRegister = 8;  // kStandardPal or kStandardNtsc
inline constexpr uint8_t kStandardPal = 0x01;
inline constexpr uint8_t kStandardNtsc = 0x41;

// The device's I2C bus as its driver carries it. Implementations are thread-safe.
class I2cBus {
public:
    virtual ~I2cBus() = default;
    // Writes `count` bytes to register `reg` of the I2C device at `address`. False when the
    // bus refused; then nothing was written.
    virtual bool WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) = 0;
};

// The chip's private property interface: one I2C transfer is the command word (4103), then
// the data (4104); a command word of 0 abandons a transfer. Implementations are thread-safe
// per call; keeping the two calls of a transfer together is the caller's lock.
inline constexpr uint32_t kPropI2cCommand = 4103;
inline constexpr uint32_t kPropI2cData = 4104;
inline constexpr uint32_t kPropChipId = 4124;
inline constexpr uint32_t kProp4135 = 4135;
inline constexpr uint32_t kProp4136 = 4136;

class IChipProperty {
public:
    virtual ~IChipProperty() = default;
    // 4103: `value` points to the 32-bit command word. 4104: `value` points to the bytes the
    // latched command word counts.
    virtual HRESULT SetValue(uint32_t id, const void* value) = 0;
    virtual HRESULT GetValue(uint32_t id, uint32_t* value) = 0;
};

// The video processing amplifier, with the ranges of the camera settings' sliders.
enum class ProcAmpProperty { Brightness, Contrast, Hue, Saturation, Sharpness };
inline constexpr long kProcAmpFlagsAuto = 1;
inline constexpr long kProcAmpFlagsManual = 2;

struct ProcAmpRange {
    long min;
    long max;
    long step;
    long defaultValue;
    long flags;
};

class VideoProcAmp {
public:
    virtual ~VideoProcAmp() = default;
    virtual HRESULT GetRange(ProcAmpProperty property, ProcAmpRange* range) = 0;
    virtual HRESULT Get(ProcAmpProperty property, long* value, long* flags) = 0;
    // A value outside the range is refused (E_INVALIDARG) and changes nothing.
    virtual HRESULT Set(ProcAmpProperty property, long value, long flags) = 0;
};

// Routes one of the device's video inputs to its decoder.
class Crossbar {
public:
    virtual ~Crossbar() = default;
    virtual HRESULT Route(int outputPin, int inputPin) = 0;
};

enum class DeviceCategory { VideoInput, BdaReceiver };

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;

    virtual std::string FriendlyName() const = 0;
    // A new source element of 640x480 YUY2 pictures (a floating reference), or null.
    virtual GstElement* MakeSourceElement() = 0;

    // The device's interfaces; null where it has none. Owned by the device.
    virtual IChipProperty* ChipProperty() = 0;  // the chip-control path
    virtual I2cBus* Bus() = 0;                  // the vendor library's path
    virtual VideoProcAmp* ProcAmp() = 0;
    virtual Crossbar* CrossbarControl() = 0;
    // The decoder's standard register (kStandardPal or kStandardNtsc); -1 when the device cannot
    // tell. Thread-safe.
    virtual int VideoStandard() const { return -1; }
    // False while the device is known to be away (unplugged); a lost device is watched by
    // this until it is back. Thread-safe.
    virtual bool Present() const { return true; }
    // The device's own sound input (its USB audio interface) where the device makes it itself;
    // a real device's is among the machine's sound inputs instead. Its name ("" for none) and a
    // new source element of its sound (a floating reference), or null.
    virtual std::string AudioInputName() const { return {}; }
    virtual GstElement* MakeAudioSourceElement() { return nullptr; }
};

// The devices of the machine by category, in enumeration order.
class DeviceList {
public:
    virtual ~DeviceList() = default;
    virtual std::vector<std::shared_ptr<CaptureDevice>> Devices(DeviceCategory category) const = 0;
};

// A list filled by hand: the station's chosen devices, or a test's.
class StaticDeviceList final : public DeviceList {
public:
    void Add(DeviceCategory category, std::shared_ptr<CaptureDevice> device) {
        entries_.push_back({category, std::move(device)});
    }
    std::vector<std::shared_ptr<CaptureDevice>> Devices(DeviceCategory category) const override {
        std::vector<std::shared_ptr<CaptureDevice>> found;
        for (const auto& entry : entries_) {
            if (entry.category == category) {
                found.push_back(entry.device);
            }
        }
        return found;
    }

private:
    struct Entry {
        DeviceCategory category;
        std::shared_ptr<CaptureDevice> device;
    };
    std::vector<Entry> entries_;
};

}  // namespace ovistra::media
