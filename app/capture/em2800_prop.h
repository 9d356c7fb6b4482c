// The chip vendor's control library as the station uses it: open the device by name, write its
// I2C bus, close. Used for devices found as "USB 2.0 A/V Converter".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "capture_device.h"

namespace ovistra {

class CEM2800Prop {
public:
    explicit CEM2800Prop(const media::DeviceList& devices);

    // The device's bus (non-null) when a video input device's name begins with `deviceName`.
    void* OpenInterface(const char* deviceName);
    // Writes `count` bytes taken from `data` to register `reg` of I2C device `address`; 0 on
    // success, non-zero when refused (no open interface, a count of 0, no data, a refused
    // write). Thread-safe: transfers never interleave.
    long SetI2C(uint32_t address, uint32_t reg, uint32_t count, const uint32_t* data);
    void CloseInterface();

private:
    const media::DeviceList& devices_;
    // --- guarded by lock_
    std::mutex lock_;
    std::shared_ptr<media::CaptureDevice> device_;
    media::I2cBus* bus_ = nullptr;
};

}  // namespace ovistra
