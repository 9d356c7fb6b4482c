// Capture devices of the tests' own: a name and, where a case needs them, a chip property
// interface or an I2C bus that records what reaches it.
#pragma once

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture_device.h"

namespace ovistra::testing {

// Records every property write with its thread; the command word latches the data count as the
// chip does. Results of the two transfer steps can be made to fail.
class RecordingChipProperty final : public media::IChipProperty {
public:
    struct Call {
        std::thread::id thread;
        uint32_t id;
        uint32_t word;               // 4103: the command word
        std::vector<uint8_t> bytes;  // 4104: the bytes the latched word counted
    };

    media::HRESULT commandResult = media::S_OK;  // for non-zero command words
    media::HRESULT dataResult = media::S_OK;
    uint32_t chipIdValue = 0;
    uint32_t value4135 = 0;
    uint32_t value4136 = 0;

    media::HRESULT SetValue(uint32_t id, const void* value) override {
        std::this_thread::yield();  // widens the window between a transfer's two writes
        std::lock_guard guard(lock_);
        Call call{std::this_thread::get_id(), id, 0, {}};
        media::HRESULT result = media::E_INVALIDARG;
        if (id == media::kPropI2cCommand) {
            std::memcpy(&call.word, value, sizeof(call.word));
            latched_ = call.word;
            result = call.word == 0 ? media::S_OK : commandResult;
        } else if (id == media::kPropI2cData) {
            const auto* bytes = static_cast<const uint8_t*>(value);
            call.bytes.assign(bytes, bytes + (latched_ & 0xFFu));
            result = dataResult;
        }
        calls_.push_back(std::move(call));
        return result;
    }

    media::HRESULT GetValue(uint32_t id, uint32_t* value) override {
        const uint32_t* source = id == media::kPropChipId ? &chipIdValue
                                 : id == media::kProp4135 ? &value4135
                                 : id == media::kProp4136 ? &value4136
                                                          : nullptr;
        if (source == nullptr) {
            return media::E_INVALIDARG;
        }
        *value = *source;
        return media::S_OK;
    }

    std::vector<Call> calls() const {
        std::lock_guard guard(lock_);
        return calls_;
    }

private:
    mutable std::mutex lock_;
    uint32_t latched_ = 0;
    std::vector<Call> calls_;
};

class RecordingBus final : public media::I2cBus {
public:
    struct Write {
        uint8_t address;
        uint8_t reg;
        std::vector<uint8_t> bytes;
        bool operator==(const Write&) const = default;
    };

    bool refuse = false;

    bool WriteI2c(uint8_t address, uint8_t reg, const uint8_t* bytes, size_t count) override {
        std::lock_guard guard(lock_);
        if (refuse) {
            return false;
        }
        writes_.push_back({address, reg, std::vector<uint8_t>(bytes, bytes + count)});
        return true;
    }

    std::vector<Write> writes() const {
        std::lock_guard guard(lock_);
        return writes_;
    }

private:
    mutable std::mutex lock_;
    std::vector<Write> writes_;
};

class FakeCaptureDevice final : public media::CaptureDevice {
public:
    explicit FakeCaptureDevice(std::string name, media::IChipProperty* chip = nullptr,
                               media::I2cBus* bus = nullptr)
        : name_(std::move(name)), chip_(chip), bus_(bus) {}

    std::string FriendlyName() const override { return name_; }
    GstElement* MakeSourceElement() override { return nullptr; }
    media::IChipProperty* ChipProperty() override { return chip_; }
    media::I2cBus* Bus() override { return bus_; }
    media::VideoProcAmp* ProcAmp() override { return nullptr; }
    media::Crossbar* CrossbarControl() override { return nullptr; }

private:
    std::string name_;
    media::IChipProperty* chip_;
    media::I2cBus* bus_;
};

inline std::shared_ptr<FakeCaptureDevice> MakeDevice(std::string name,
                                                     media::IChipProperty* chip = nullptr,
                                                     media::I2cBus* bus = nullptr) {
    return std::make_shared<FakeCaptureDevice>(std::move(name), chip, bus);
}

}  // namespace ovistra::testing
