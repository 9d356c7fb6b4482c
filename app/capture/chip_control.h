// The station's own control channel to the chip's I2C bus, through the device's private
// property interface; used for devices found as "USB 2820 Device" or "USB 2820 Video".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "capture_device.h"

namespace ovistra {

class CChipControl {
public:
    // The 17 names tried, in order, when the given name is not found.
    static constexpr int kFallbackNames = 17;
    static const char* const kFallbackNameTable[kFallbackNames];

    explicit CChipControl(const media::DeviceList& devices);

    // Looks the device up (the name, then the table), takes its property interface and reads
    // its identity. The interface, or null.
    media::IChipProperty* Open(const char* name);
    void Close();

    // One transfer: command word (bit 24, address, register, count), then the data; a failed
    // step abandons the transfer with a command word of 0. 6 without an open interface;
    // E_INVALIDARG for a count of 0 or no data, with nothing sent. Thread-safe: transfers
    // never interleave.
    media::HRESULT WriteI2C(uint32_t address, uint32_t reg, uint32_t count, const void* data);

    static uint32_t CommandWord(uint32_t address, uint32_t reg, uint32_t count);

    uint32_t chipId() const { return chipId_; }
    bool chipFlag() const { return chipFlag_; }
    uint32_t value4135() const { return value4135_; }
    uint32_t value4136() const { return value4136_; }
    media::HRESULT lastResult() const;

private:
    const media::DeviceList& devices_;
    uint32_t value4135_ = 0;
    uint32_t value4136_ = 0;
    uint32_t chipId_ = 0;
    bool chipFlag_ = false;

    // --- guarded by lock_
    mutable std::mutex lock_;
    std::shared_ptr<media::CaptureDevice> device_;  // keeps the interface's owner alive
    media::IChipProperty* property_ = nullptr;
    media::HRESULT lastResult_ = 0;
};

}  // namespace ovistra
