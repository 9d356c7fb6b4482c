#include "em2800_prop.h"

#include <array>

#include "device_discovery.h"

namespace ovistra {
namespace {

constexpr long kWritten = 0;
constexpr long kRefused = -1;
constexpr uint32_t kMaxTransferBytes = 0xFF;
constexpr uint32_t kMaxByte = 0xFF;

}  // namespace

CEM2800Prop::CEM2800Prop(const media::DeviceList& devices) : devices_(devices) {}

void* CEM2800Prop::OpenInterface(const char* deviceName) {
    std::shared_ptr<media::CaptureDevice> device;
    if (deviceName == nullptr || media::Failed(FindDeviceByName(devices_, deviceName, &device))) {
        return nullptr;
    }
    media::I2cBus* bus = device->Bus();
    if (bus == nullptr) {
        return nullptr;
    }
    std::lock_guard guard(lock_);
    device_ = std::move(device);
    bus_ = bus;
    return bus_;
}

long CEM2800Prop::SetI2C(uint32_t address, uint32_t reg, uint32_t count, const uint32_t* data) {
    if (count == 0 || count > kMaxTransferBytes || data == nullptr || address > kMaxByte ||
        reg > kMaxByte) {
        return kRefused;
    }
    // The words' bytes in little-endian order, whatever the machine's own order is.
    std::array<uint8_t, kMaxTransferBytes> bytes{};
    for (uint32_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(data[i / 4] >> (8 * (i % 4)));
    }
    std::lock_guard guard(lock_);
    if (bus_ == nullptr) {
        return kRefused;
    }
    const bool written = bus_->WriteI2c(static_cast<uint8_t>(address), static_cast<uint8_t>(reg),
                                        bytes.data(), count);
    return written ? kWritten : kRefused;
}

void CEM2800Prop::CloseInterface() {
    std::lock_guard guard(lock_);
    bus_ = nullptr;
    device_.reset();
}

}  // namespace ovistra
