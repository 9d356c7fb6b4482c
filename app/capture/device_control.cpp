#include "device_control.h"

namespace ovistra {
namespace {

constexpr const char* kChipControlNames[] = {"USB 2820 Device", "USB 2820 Video"};
constexpr const char* kVendorDeviceName = "USB 2.0 A/V Converter";

}  // namespace

bool DeviceControl::Open(const media::DeviceList& devices, bool alternateDevice) {
    chip_.reset();
    vendor_.reset();
    if (alternateDevice) {
        chip_ = std::make_unique<CChipControl>(devices);
        for (const char* name : kChipControlNames) {
            if (chip_->Open(name) != nullptr) {
                return true;
            }
        }
        chip_.reset();
        return false;
    }
    vendor_ = std::make_unique<CEM2800Prop>(devices);
    if (vendor_->OpenInterface(kVendorDeviceName) != nullptr) {
        return true;
    }
    vendor_.reset();
    return false;
}

media::HRESULT DeviceControl::WriteI2C(uint32_t address, uint32_t reg, uint32_t count,
                                       const uint32_t* data) {
    if (chip_) {
        return chip_->WriteI2C(address, reg, count, data);
    }
    if (vendor_) {
        return vendor_->SetI2C(address, reg, count, data) == 0 ? media::S_OK : media::E_FAIL;
    }
    return media::E_FAIL;
}

void DeviceControl::Close() {
    if (chip_) {
        chip_->Close();
    }
    if (vendor_) {
        vendor_->CloseInterface();
    }
}

}  // namespace ovistra
