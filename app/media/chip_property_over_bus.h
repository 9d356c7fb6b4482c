// The chip's private property interface as a device carries it to its I2C bus: the command
// word is latched, the data write sends the counted bytes, and the chip's identity reads back.
#pragma once

#include <cstdint>
#include <mutex>

#include "capture_device.h"

namespace ovistra::media {

class ChipPropertyOverBus final : public IChipProperty {
public:
    // `bus` outlives this object.
    ChipPropertyOverBus(I2cBus& bus, uint32_t chipId, uint32_t value4135, uint32_t value4136);

    // Thread-safe per call.
    HRESULT SetValue(uint32_t id, const void* value) override;
    HRESULT GetValue(uint32_t id, uint32_t* value) override;

private:
    I2cBus& bus_;
    const uint32_t chipId_;
    const uint32_t value4135_;
    const uint32_t value4136_;

    // --- guarded by lock_
    std::mutex lock_;
    uint32_t command_ = 0;  // latched command word; 0 when no transfer is open
};

}  // namespace ovistra::media
