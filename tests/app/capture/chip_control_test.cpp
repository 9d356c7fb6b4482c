#include "chip_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "fake_capture_device.h"

namespace {

using ovistra::CChipControl;
using ovistra::media::DeviceCategory;
using ovistra::media::E_FAIL;
using ovistra::media::E_INVALIDARG;
using ovistra::media::HRESULT;
using ovistra::media::kPropI2cCommand;
using ovistra::media::kPropI2cData;
using ovistra::media::S_OK;
using ovistra::media::StaticDeviceList;
using ovistra::testing::MakeDevice;
using ovistra::testing::RecordingChipProperty;
using Call = RecordingChipProperty::Call;

constexpr HRESULT kNotOpen = 6;

struct Present {
    DeviceCategory category;
    const char* name;
};

TEST(ChipControlOpen, FindsTheNameThenTheTableInBothCategories) {
    struct Case {
        const char* label;
        std::vector<Present> devices;
        const char* name;
        const char* expected;  // null: nothing opens
    } cases[] = {
        {"given name",
         {{DeviceCategory::VideoInput, "USB 2820 Video"}},
         "USB 2820 Video",
         "USB 2820 Video"},
        {"given name as a prefix",
         {{DeviceCategory::VideoInput, "USB 2820 Video #1"}},
         "USB 2820 Video",
         "USB 2820 Video #1"},
        {"receiver category",
         {{DeviceCategory::BdaReceiver, "USB 2820 Device"}},
         "USB 2820 Device",
         "USB 2820 Device"},
        {"table entry",
         {{DeviceCategory::VideoInput, "USB 2861 Device"}},
         "USB 2820 Device",
         "USB 2861 Device"},
        {"table entry as receiver",
         {{DeviceCategory::BdaReceiver, "USB 2900 Device"}},
         "USB 2820 Device",
         "USB 2900 Device"},
        {"table order, not device order",
         {{DeviceCategory::VideoInput, "USB 2900 Device"},
          {DeviceCategory::VideoInput, "USB 2840 Device"}},
         "USB 2820 Video",
         "USB 2840 Device"},
        {"given name before the table",
         {{DeviceCategory::VideoInput, "USB 2800 Device"},
          {DeviceCategory::BdaReceiver, "USB 2820 Video"}},
         "USB 2820 Video",
         "USB 2820 Video"},
        {"text before the name",
         {{DeviceCategory::VideoInput, "My USB 2861 Device"}},
         "USB 2820 Device",
         nullptr},
        {"other devices only",
         {{DeviceCategory::VideoInput, "Webcam"}},
         "USB 2820 Device",
         nullptr},
        {"nothing present", {}, "USB 2820 Device", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::map<std::string, std::unique_ptr<RecordingChipProperty>> chips;
        StaticDeviceList devices;
        for (const auto& present : c.devices) {
            auto& chip = chips[present.name] = std::make_unique<RecordingChipProperty>();
            devices.Add(present.category, MakeDevice(present.name, chip.get()));
        }
        CChipControl control(devices);
        auto* opened = control.Open(c.name);
        if (c.expected == nullptr) {
            EXPECT_EQ(opened, nullptr);
            EXPECT_EQ(control.WriteI2C(0x4A, 2, 1, "\x01"), kNotOpen);
        } else {
            EXPECT_EQ(opened, chips.at(c.expected).get());
        }
    }
}

TEST(ChipControlOpen, DeviceWithoutChipPropertyOpensNothing) {
    StaticDeviceList devices;
    devices.Add(DeviceCategory::VideoInput, MakeDevice("USB 2820 Device"));
    CChipControl control(devices);
    EXPECT_EQ(control.Open("USB 2820 Device"), nullptr);
    EXPECT_EQ(control.Open(nullptr), nullptr);
    EXPECT_EQ(control.WriteI2C(0x4A, 2, 1, "\x01"), kNotOpen);
}

TEST(ChipControlOpen, ReadsTheChipIdentity) {
    struct Case {
        uint32_t chipIdValue;
        uint32_t chipId;
        bool chipFlag;
    } cases[] = {
        {50, 50, true},  {52, 52, true},     {0x0132, 50, true},        {0x1234, 52, true},
        {51, 51, false}, {0x0200, 0, false}, {0xFFFFFF20, 0x20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chipIdValue);
        RecordingChipProperty chip;
        chip.chipIdValue = c.chipIdValue;
        chip.value4135 = 0xA1B2C3D4;
        chip.value4136 = 7;
        StaticDeviceList devices;
        devices.Add(DeviceCategory::VideoInput, MakeDevice("USB 2820 Device", &chip));
        CChipControl control(devices);
        ASSERT_NE(control.Open("USB 2820 Device"), nullptr);
        EXPECT_EQ(control.chipId(), c.chipId);
        EXPECT_EQ(control.chipFlag(), c.chipFlag);
        EXPECT_EQ(control.value4135(), 0xA1B2C3D4u);
        EXPECT_EQ(control.value4136(), 7u);
        EXPECT_TRUE(chip.calls().empty());  // reading the identity writes nothing
    }
}

TEST(ChipControl, CommandWordPacksAddressRegisterAndCountIntoBytes) {
    struct Case {
        uint32_t address, reg, count, word;
    } cases[] = {
        {0x4A, 2, 1, 0x014A0201},
        {0x4A, 8, 1, 0x014A0801},
        {0, 0, 0, 0x01000000},
        {0xFF, 0xFF, 0xFF, 0x01FFFFFF},
        {0x14A, 0x102, 0x101, 0x014A0201},
        {0xFFFFFFFF, 0, 0, 0x01FF0000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CChipControl::CommandWord(c.address, c.reg, c.count), c.word)
            << c.address << "/" << c.reg << "/" << c.count;
    }
}

class ChipControlWrite : public ::testing::Test {
protected:
    void SetUp() override {
        devices.Add(DeviceCategory::VideoInput, MakeDevice("USB 2820 Device", &chip));
        ASSERT_NE(control.Open("USB 2820 Device"), nullptr);
    }

    RecordingChipProperty chip;
    StaticDeviceList devices;
    CChipControl control{devices};
};

TEST_F(ChipControlWrite, SendsTheCommandWordThenTheDataBytes) {
    const uint32_t ntsc = 0x41;
    EXPECT_EQ(control.WriteI2C(0x4A, 8, 1, &ntsc), S_OK);
    const auto calls = chip.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, kPropI2cCommand);
    EXPECT_EQ(calls[0].word, 0x014A0801u);
    EXPECT_EQ(calls[1].id, kPropI2cData);
    EXPECT_EQ(calls[1].bytes, std::vector<uint8_t>{0x41});
    EXPECT_EQ(control.lastResult(), S_OK);
}

TEST_F(ChipControlWrite, FailedStepAbandonsTheTransferAndReportsTheFailure) {
    struct Case {
        HRESULT commandResult;
        HRESULT dataResult;
        std::vector<uint32_t> ids;
    } cases[] = {
        {E_FAIL, S_OK, {kPropI2cCommand, kPropI2cCommand}},
        {S_OK, E_INVALIDARG, {kPropI2cCommand, kPropI2cData, kPropI2cCommand}},
    };
    for (const auto& c : cases) {
        RecordingChipProperty failing;
        failing.commandResult = c.commandResult;
        failing.dataResult = c.dataResult;
        StaticDeviceList list;
        list.Add(DeviceCategory::VideoInput, MakeDevice("USB 2820 Device", &failing));
        CChipControl failingControl(list);
        ASSERT_NE(failingControl.Open("USB 2820 Device"), nullptr);

        const HRESULT expected = c.commandResult != S_OK ? c.commandResult : c.dataResult;
        EXPECT_EQ(failingControl.WriteI2C(0x4A, 2, 1, "\x02"), expected);
        EXPECT_EQ(failingControl.lastResult(), expected);
        const auto calls = failing.calls();
        std::vector<uint32_t> ids;
        for (const auto& call : calls) {
            ids.push_back(call.id);
        }
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(calls.back().word, 0u);  // the abandon word
    }
}

TEST_F(ChipControlWrite, RefusesBadInputAndAClosedInterfaceWithNothingSent) {
    const uint8_t bytes[256] = {};
    struct Case {
        const char* label;
        uint32_t count;
        const void* data;
    } cases[] = {
        {"count 0", 0, bytes},
        {"no data", 1, nullptr},
        {"count beyond the command word", 256, bytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(control.WriteI2C(0x4A, 2, c.count, c.data), E_INVALIDARG);
    }
    control.Close();
    EXPECT_EQ(control.WriteI2C(0x4A, 2, 1, bytes), kNotOpen);
    EXPECT_TRUE(chip.calls().empty());
}

TEST_F(ChipControlWrite, TransfersFromTwoThreadsNeverInterleave) {
    constexpr int kWritesPerThread = 2000;
    std::atomic<bool> go{false};
    auto hammer = [&](uint8_t value) {
        while (!go) {
            std::this_thread::yield();
        }
        for (int i = 0; i < kWritesPerThread; ++i) {
            control.WriteI2C(0x4A, 2, 1, &value);
        }
    };
    std::thread switching(hammer, uint8_t{1});
    std::thread settings(hammer, uint8_t{0x41});
    go = true;
    switching.join();
    settings.join();

    const auto calls = chip.calls();
    ASSERT_EQ(calls.size(), 4u * kWritesPerThread);
    for (size_t i = 0; i < calls.size(); i += 2) {
        ASSERT_EQ(calls[i].id, kPropI2cCommand) << i;
        ASSERT_EQ(calls[i + 1].id, kPropI2cData) << i;
        ASSERT_EQ(calls[i].thread, calls[i + 1].thread) << i;
    }
}

}  // namespace
