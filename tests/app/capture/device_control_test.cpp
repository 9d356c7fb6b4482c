#include "device_control.h"

#include <gtest/gtest.h>

#include "chip_property_over_bus.h"
#include "fake_capture_device.h"

namespace {

using ovistra::DeviceControl;
using ovistra::media::ChipPropertyOverBus;
using ovistra::media::DeviceCategory;
using ovistra::media::S_OK;
using ovistra::media::StaticDeviceList;
using ovistra::testing::MakeDevice;
using ovistra::testing::RecordingBus;
using Write = RecordingBus::Write;

enum class Path { None, Chip, Vendor };

TEST(DeviceControl, OpensThePathTheDeviceNameCallsForAndWritesThroughIt) {
    struct Case {
        const char* label;
        const char* deviceName;
        bool alternateDevice;
        Path path;
    } cases[] = {
        {"vendor library", "USB 2.0 A/V Converter", false, Path::Vendor},
        {"chip control, device name", "USB 2820 Device", true, Path::Chip},
        {"chip control, video name", "USB 2820 Video", true, Path::Chip},
        {"chip control, table name", "USB 2883 Device", true, Path::Chip},
        {"vendor device, chip control asked", "USB 2.0 A/V Converter", true, Path::None},
        {"chip device, vendor library asked", "USB 2820 Device", false, Path::None},
        {"unknown device", "Webcam", false, Path::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingBus bus;
        ChipPropertyOverBus chip(bus, 0, 0, 0);
        StaticDeviceList devices;
        devices.Add(DeviceCategory::VideoInput, MakeDevice(c.deviceName, &chip, &bus));

        DeviceControl control;
        EXPECT_EQ(control.Open(devices, c.alternateDevice), c.path != Path::None);
        EXPECT_EQ(control.IsOpen(), c.path != Path::None);
        EXPECT_EQ(control.chip() != nullptr, c.path == Path::Chip);
        EXPECT_EQ(control.vendor() != nullptr, c.path == Path::Vendor);

        const uint32_t input = 3;
        EXPECT_EQ(control.WriteI2C(0x4A, 2, 1, &input) == S_OK, c.path != Path::None);
        const auto expected =
            c.path == Path::None ? std::vector<Write>{} : std::vector<Write>{{0x4A, 2, {3}}};
        EXPECT_EQ(bus.writes(), expected);
    }
}

TEST(DeviceControl, CloseKeepsTheObjectButStopsWrites) {
    for (bool alternateDevice : {false, true}) {
        SCOPED_TRACE(alternateDevice);
        RecordingBus bus;
        ChipPropertyOverBus chip(bus, 0, 0, 0);
        StaticDeviceList devices;
        devices.Add(
            DeviceCategory::VideoInput,
            MakeDevice(alternateDevice ? "USB 2820 Video" : "USB 2.0 A/V Converter", &chip, &bus));
        DeviceControl control;
        ASSERT_TRUE(control.Open(devices, alternateDevice));
        control.Close();
        EXPECT_TRUE(control.IsOpen());
        const uint32_t input = 0;
        EXPECT_NE(control.WriteI2C(0x4A, 2, 1, &input), S_OK);
        EXPECT_TRUE(bus.writes().empty());
    }
}

TEST(DeviceControl, FailedReopenLeavesNoObject) {
    RecordingBus bus;
    StaticDeviceList devices;
    devices.Add(DeviceCategory::VideoInput, MakeDevice("USB 2.0 A/V Converter", nullptr, &bus));
    DeviceControl control;
    ASSERT_TRUE(control.Open(devices, false));
    StaticDeviceList empty;
    EXPECT_FALSE(control.Open(empty, false));
    EXPECT_FALSE(control.IsOpen());
    EXPECT_EQ(control.vendor(), nullptr);
}

}  // namespace
