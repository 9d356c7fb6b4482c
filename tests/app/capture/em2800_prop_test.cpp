#include "em2800_prop.h"

#include <gtest/gtest.h>

#include "fake_capture_device.h"

namespace {

using ovistra::CEM2800Prop;
using ovistra::media::DeviceCategory;
using ovistra::media::StaticDeviceList;
using ovistra::testing::MakeDevice;
using ovistra::testing::RecordingBus;
using Write = RecordingBus::Write;

constexpr const char* kName = "USB 2.0 A/V Converter";

TEST(Em2800PropOpen, OpensTheBusOfAVideoInputWhoseNameBeginsWithTheName) {
    struct Case {
        const char* label;
        DeviceCategory category;
        const char* deviceName;
        bool hasBus;
        bool opens;
    } cases[] = {
        {"exact", DeviceCategory::VideoInput, kName, true, true},
        {"instance number after", DeviceCategory::VideoInput, "USB 2.0 A/V Converter 2", true,
         true},
        {"text before", DeviceCategory::VideoInput, "New USB 2.0 A/V Converter", true, false},
        {"receiver category", DeviceCategory::BdaReceiver, kName, true, false},
        {"no bus", DeviceCategory::VideoInput, kName, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingBus bus;
        StaticDeviceList devices;
        devices.Add(c.category, MakeDevice(c.deviceName, nullptr, c.hasBus ? &bus : nullptr));
        CEM2800Prop prop(devices);
        void* opened = prop.OpenInterface(kName);
        EXPECT_EQ(opened != nullptr, c.opens);
        const uint32_t input = 1;
        EXPECT_EQ(prop.SetI2C(0x4A, 2, 1, &input) == 0, c.opens);
        EXPECT_EQ(bus.writes().size(), c.opens ? 1u : 0u);
    }
    StaticDeviceList none;
    EXPECT_EQ(CEM2800Prop(none).OpenInterface(nullptr), nullptr);
}

class Em2800PropWrite : public ::testing::Test {
protected:
    void SetUp() override {
        devices.Add(DeviceCategory::VideoInput, MakeDevice(kName, nullptr, &bus));
        ASSERT_NE(prop.OpenInterface(kName), nullptr);
    }

    RecordingBus bus;
    StaticDeviceList devices;
    CEM2800Prop prop{devices};
};

TEST_F(Em2800PropWrite, WritesTheCountedLittleEndianBytesOfTheWords) {
    const uint32_t input = 2;
    const uint32_t ntsc = 0x41;
    const uint32_t words[2] = {0x04030201, 0xFFFFFF05};
    EXPECT_EQ(prop.SetI2C(0x4A, 2, 1, &input), 0);
    EXPECT_EQ(prop.SetI2C(0x4A, 8, 1, &ntsc), 0);
    EXPECT_EQ(prop.SetI2C(0x21, 0x10, 5, words), 0);
    EXPECT_EQ(bus.writes(), (std::vector<Write>{
                                {0x4A, 2, {2}}, {0x4A, 8, {0x41}}, {0x21, 0x10, {1, 2, 3, 4, 5}}}));
}

TEST_F(Em2800PropWrite, RefusesBadInputAndClosedInterfaceWithNothingWritten) {
    const uint32_t words[64] = {};
    struct Case {
        const char* label;
        uint32_t address, reg, count;
        const uint32_t* data;
    } cases[] = {
        {"count 0", 0x4A, 2, 0, words},
        {"no data", 0x4A, 2, 1, nullptr},
        {"count beyond one byte", 0x4A, 2, 256, words},
        {"wild count", 0x4A, 2, 0xFFFFFFFF, words},
        {"address beyond one byte", 0x14A, 2, 1, words},
        {"register beyond one byte", 0x4A, 0x102, 1, words},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_NE(prop.SetI2C(c.address, c.reg, c.count, c.data), 0);
    }
    bus.refuse = true;
    EXPECT_NE(prop.SetI2C(0x4A, 2, 1, words), 0);
    bus.refuse = false;
    prop.CloseInterface();
    EXPECT_NE(prop.SetI2C(0x4A, 2, 1, words), 0);
    EXPECT_TRUE(bus.writes().empty());
}

}  // namespace
