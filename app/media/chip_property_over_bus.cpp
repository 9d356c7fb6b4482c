#include "chip_property_over_bus.h"

namespace ovistra::media {
namespace {

constexpr uint32_t kCommandStart = 1u << 24;
constexpr uint32_t kCommandReservedBits = 0xFE000000u;

}  // namespace

ChipPropertyOverBus::ChipPropertyOverBus(I2cBus& bus, uint32_t chipId, uint32_t value4135,
                                         uint32_t value4136)
    : bus_(bus), chipId_(chipId), value4135_(value4135), value4136_(value4136) {}

HRESULT ChipPropertyOverBus::SetValue(uint32_t id, const void* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(lock_);
    switch (id) {
        case kPropI2cCommand: {
            const uint32_t word = *static_cast<const uint32_t*>(value);
            if (word == 0) {
                command_ = 0;  // abandon
                return S_OK;
            }
            if ((word & kCommandStart) == 0 || (word & kCommandReservedBits) != 0) {
                command_ = 0;
                return E_INVALIDARG;
            }
            command_ = word;
            return S_OK;
        }
        case kPropI2cData: {
            const uint32_t word = command_;
            command_ = 0;  // one data write per command word
            const size_t count = word & 0xFFu;
            if (word == 0 || count == 0) {
                return E_FAIL;
            }
            const auto address = static_cast<uint8_t>((word >> 16) & 0xFFu);
            const auto reg = static_cast<uint8_t>((word >> 8) & 0xFFu);
            return bus_.WriteI2c(address, reg, static_cast<const uint8_t*>(value), count) ? S_OK
                                                                                          : E_FAIL;
        }
        default:
            return E_INVALIDARG;
    }
}

HRESULT ChipPropertyOverBus::GetValue(uint32_t id, uint32_t* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    switch (id) {
        case kPropChipId:
            *value = chipId_;
            return S_OK;
        case kProp4135:
            *value = value4135_;
            return S_OK;
        case kProp4136:
            *value = value4136_;
            return S_OK;
        default:
            return E_INVALIDARG;
    }
}

}  // namespace ovistra::media
