#include "chip_control.h"

#include <cstring>

namespace ovistra {
namespace {

constexpr media::HRESULT kNotOpen = 6;
constexpr uint32_t kCommandStart = 1u << 24;
constexpr uint32_t kAbandon = 0;
// The command word counts the data bytes in one byte.
constexpr uint32_t kMaxTransferBytes = 0xFF;

// The first device of `category` whose friendly name begins with `name`.
std::shared_ptr<media::CaptureDevice> FindIn(const media::DeviceList& devices,
                                             media::DeviceCategory category, const char* name) {
    const size_t length = std::strlen(name);
    for (auto& device : devices.Devices(category)) {
        if (device && device->FriendlyName().compare(0, length, name) == 0) {
            return std::move(device);
        }
    }
    return nullptr;
}

std::shared_ptr<media::CaptureDevice> FindInBothCategories(const media::DeviceList& devices,
                                                           const char* name) {
    auto device = FindIn(devices, media::DeviceCategory::VideoInput, name);
    return device ? device : FindIn(devices, media::DeviceCategory::BdaReceiver, name);
}

}  // namespace

const char* const CChipControl::kFallbackNameTable[kFallbackNames] = {
    "USB 2800 Device", "USB 2801 Device", "USB 2840 Device", "USB 2841 Device", "USB 2820 Device",
    "USB 2821 Device", "USB 2860 Device", "USB 2861 Device", "USB 2862 Device", "USB 2863 Device",
    "USB 2880 Device", "USB 2881 Device", "USB 2882 Device", "USB 2883 Device", "USB 2870 Device",
    "USB 2872 Device", "USB 2900 Device",
};

CChipControl::CChipControl(const media::DeviceList& devices) : devices_(devices) {}

media::IChipProperty* CChipControl::Open(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    auto device = FindInBothCategories(devices_, name);
    for (int i = 0; !device && i < kFallbackNames; ++i) {
        device = FindInBothCategories(devices_, kFallbackNameTable[i]);
    }
    media::IChipProperty* property = device ? device->ChipProperty() : nullptr;
    if (property == nullptr) {
        return nullptr;
    }

    std::lock_guard guard(lock_);
    device_ = std::move(device);
    property_ = property;
    value4135_ = 0;
    value4136_ = 0;
    uint32_t chipValue = 0;
    property_->GetValue(media::kProp4135, &value4135_);
    property_->GetValue(media::kProp4136, &value4136_);
    lastResult_ = property_->GetValue(media::kPropChipId, &chipValue);
    chipId_ = chipValue & 0xFFu;
    chipFlag_ = chipId_ == 50 || chipId_ == 52;
    return property_;
}

void CChipControl::Close() {
    std::lock_guard guard(lock_);
    property_ = nullptr;
    device_.reset();
}

uint32_t CChipControl::CommandWord(uint32_t address, uint32_t reg, uint32_t count) {
    return kCommandStart | (address & 0xFFu) << 16 | (reg & 0xFFu) << 8 | (count & 0xFFu);
}

media::HRESULT CChipControl::WriteI2C(uint32_t address, uint32_t reg, uint32_t count,
                                      const void* data) {
    std::lock_guard guard(lock_);
    if (property_ == nullptr) {
        return kNotOpen;
    }
    // A count the command word cannot carry would send fewer bytes than asked and still succeed.
    if (count == 0 || count > kMaxTransferBytes || data == nullptr) {
        return media::E_INVALIDARG;
    }
    const uint32_t command = CommandWord(address, reg, count);
    lastResult_ = property_->SetValue(media::kPropI2cCommand, &command);
    if (!media::Failed(lastResult_)) {
        lastResult_ = property_->SetValue(media::kPropI2cData, data);
    }
    if (media::Failed(lastResult_)) {
        const uint32_t abandon = kAbandon;
        property_->SetValue(media::kPropI2cCommand, &abandon);
    }
    return lastResult_;
}

media::HRESULT CChipControl::lastResult() const {
    std::lock_guard guard(lock_);
    return lastResult_;
}

}  // namespace ovistra
