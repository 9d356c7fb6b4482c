// The one control channel to the capture device's I2C bus: the vendor library's object for a
// device found under its first name, else the station's own chip control.
#pragma once

#include <cstdint>
#include <memory>

#include "capture_device.h"
#include "chip_control.h"
#include "em2800_prop.h"

namespace ovistra {

class DeviceControl {
public:
    // Creates and opens the channel (alternateDevice: the chip control with "USB 2820 Device",
    // then "USB 2820 Video"; else the vendor library with "USB 2.0 A/V Converter"). A failed
    // open leaves no object behind. `devices` outlives this object.
    bool Open(const media::DeviceList& devices, bool alternateDevice);
    bool IsOpen() const { return chip_ || vendor_; }

    // One I2C write through whichever channel is open; thread-safe. Negative or non-zero
    // when nothing was written.
    media::HRESULT WriteI2C(uint32_t address, uint32_t reg, uint32_t count, const uint32_t* data);

    // Closes the channel; the object stays (as the shutdown leaves it).
    void Close();

    CChipControl* chip() { return chip_.get(); }
    CEM2800Prop* vendor() { return vendor_.get(); }

private:
    std::unique_ptr<CChipControl> chip_;
    std::unique_ptr<CEM2800Prop> vendor_;
};

}  // namespace ovistra
