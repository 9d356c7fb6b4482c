#include "v4l2_device.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace {

using ovistra::media::E_FAIL;
using ovistra::media::E_INVALIDARG;
using ovistra::media::E_NOTIMPL;
using ovistra::media::HRESULT;
using ovistra::media::ListV4l2Devices;
using ovistra::media::ProcAmpProperty;
using ovistra::media::ProcAmpRange;
using ovistra::media::QueryV4l2Device;
using ovistra::media::S_OK;
using ovistra::media::V4l2Device;
using ovistra::media::V4l2Io;

// A model of a V4L2 driver: nodes by path, each with its capabilities, inputs and controls.
// Records every ioctl with the value it carried.
class FakeDriver final : public V4l2Io {
public:
    struct Control {
        int32_t minimum;
        int32_t maximum;
        int32_t step = 1;
        int32_t value = 0;
        bool disabled = false;
    };
    struct Node {
        uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        uint32_t deviceCaps = 0;
        std::string card = "Capture Card";
        bool answersQueryCap = true;
        uint32_t inputs = 4;
        std::map<uint32_t, Control> controls;
        bool vanished = false;
    };
    struct Call {
        unsigned long request;
        int64_t value;  // the input, standard or control value
        bool operator==(const Call&) const = default;
    };

    std::map<std::string, Node> nodes;
    std::vector<Call> calls;
    int opens = 0;
    int closes = 0;

    int Open(const std::string& path) override {
        auto node = nodes.find(path);
        if (node == nodes.end() || node->second.vanished) {
            errno = ENOENT;
            return -1;
        }
        ++opens;
        const int fd = nextFd_++;
        open_[fd] = path;
        return fd;
    }

    void Close(int fd) override {
        ++closes;
        open_.erase(fd);
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        auto path = open_.find(fd);
        if (path == open_.end()) {
            return Fail(EBADF);
        }
        Node& node = nodes.at(path->second);
        if (node.vanished) {
            return Fail(ENODEV);
        }
        switch (request) {
            case VIDIOC_QUERYCAP: {
                if (!node.answersQueryCap) {
                    return Fail(ENOTTY);
                }
                auto* caps = static_cast<v4l2_capability*>(arg);
                caps->capabilities = node.capabilities;
                caps->device_caps = node.deviceCaps;
                std::memcpy(caps->card, node.card.data(),
                            std::min(node.card.size(), sizeof(caps->card)));
                return 0;
            }
            case VIDIOC_S_INPUT: {
                const int index = *static_cast<int*>(arg);
                calls.push_back({request, index});
                return index >= 0 && static_cast<uint32_t>(index) < node.inputs ? 0 : Fail(EINVAL);
            }
            case VIDIOC_S_STD:
                calls.push_back({request, static_cast<int64_t>(*static_cast<v4l2_std_id*>(arg))});
                return 0;
            case VIDIOC_ENUMINPUT:
                return static_cast<v4l2_input*>(arg)->index < node.inputs ? 0 : Fail(EINVAL);
            case VIDIOC_QUERYCTRL: {
                auto* query = static_cast<v4l2_queryctrl*>(arg);
                auto control = node.controls.find(query->id);
                if (control == node.controls.end()) {
                    return Fail(EINVAL);
                }
                query->minimum = control->second.minimum;
                query->maximum = control->second.maximum;
                query->step = control->second.step;
                query->flags = control->second.disabled ? V4L2_CTRL_FLAG_DISABLED : 0;
                return 0;
            }
            case VIDIOC_G_CTRL:
            case VIDIOC_S_CTRL: {
                auto* value = static_cast<v4l2_control*>(arg);
                auto control = node.controls.find(value->id);
                if (control == node.controls.end()) {
                    return Fail(EINVAL);
                }
                if (request == VIDIOC_G_CTRL) {
                    value->value = control->second.value;
                    return 0;
                }
                calls.push_back({request, value->value});
                if (value->value < control->second.minimum ||
                    value->value > control->second.maximum) {
                    return Fail(ERANGE);
                }
                control->second.value = value->value;
                return 0;
            }
            default:
                return Fail(ENOTTY);
        }
    }

private:
    static int Fail(int error) {
        errno = error;
        return -1;
    }

    int nextFd_ = 3;
    std::map<int, std::string> open_;
};

constexpr const char* kPath = "/dev/video0";

class V4l2DeviceTest : public ::testing::Test {
protected:
    V4l2DeviceTest() { driver.nodes[kPath] = {}; }

    FakeDriver::Node& node() { return driver.nodes.at(kPath); }

    bool Write(uint8_t reg, uint8_t value) { return device.WriteI2c(0x4A, reg, &value, 1); }

    FakeDriver driver;
    V4l2Device device{kPath, "USB 2820 Video", driver};
};

TEST_F(V4l2DeviceTest, DecoderRegisterWritesBecomeInputAndStandardCalls) {
    struct Case {
        uint8_t reg;
        uint8_t value;
        FakeDriver::Call call;
    } cases[] = {
        {2, 0, {VIDIOC_S_INPUT, 0}},
        {2, 3, {VIDIOC_S_INPUT, 3}},
        {8, 0x01, {VIDIOC_S_STD, static_cast<int64_t>(V4L2_STD_PAL)}},
        {8, 0x41, {VIDIOC_S_STD, static_cast<int64_t>(V4L2_STD_NTSC_M)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.reg) << "=" << int(c.value));
        driver.calls.clear();
        EXPECT_TRUE(Write(c.reg, c.value));
        EXPECT_EQ(driver.calls, std::vector<FakeDriver::Call>{c.call});
    }
    EXPECT_EQ(driver.opens, 1);  // one descriptor, kept
}

TEST_F(V4l2DeviceTest, RefusesWritesTheDecoderHasNoMeaningFor) {
    const uint8_t two[2] = {1, 1};
    const uint8_t input = 1;
    EXPECT_FALSE(Write(2, 4));
    EXPECT_FALSE(Write(2, 0xFF));
    EXPECT_FALSE(Write(8, 0x02));
    EXPECT_FALSE(Write(8, 0x00));
    EXPECT_FALSE(Write(5, 0));
    EXPECT_FALSE(device.WriteI2c(0x4B, 2, &input, 1));
    EXPECT_FALSE(device.WriteI2c(0x4A, 2, two, 2));
    EXPECT_FALSE(device.WriteI2c(0x4A, 2, &input, 0));
    EXPECT_FALSE(device.WriteI2c(0x4A, 2, nullptr, 1));
    EXPECT_TRUE(driver.calls.empty());
}

TEST_F(V4l2DeviceTest, DriverDecidesOnEveryInputWrite) {
    node().inputs = 2;
    EXPECT_TRUE(Write(2, 1));
    EXPECT_TRUE(Write(2, 1));  // the same input again still reaches the driver
    EXPECT_FALSE(Write(2, 2));
    EXPECT_EQ(driver.calls.size(), 3u);
}

TEST_F(V4l2DeviceTest, ChipPropertyTransferReachesTheDriver) {
    auto* chip = device.ChipProperty();
    const uint32_t command = 0x014A0201;
    const uint8_t input = 2;
    ASSERT_EQ(chip->SetValue(ovistra::media::kPropI2cCommand, &command), S_OK);
    EXPECT_EQ(chip->SetValue(ovistra::media::kPropI2cData, &input), S_OK);
    EXPECT_EQ(driver.calls, (std::vector<FakeDriver::Call>{{VIDIOC_S_INPUT, 2}}));
    uint32_t chipId = 99;
    EXPECT_EQ(chip->GetValue(ovistra::media::kPropChipId, &chipId), S_OK);
    EXPECT_EQ(chipId, 0u);
}

TEST_F(V4l2DeviceTest, AmplifierMapsSliderValuesOntoTheControlRangeAndBack) {
    struct Case {
        ProcAmpProperty property;
        uint32_t id;
        FakeDriver::Control control;
        long slider;
        int32_t controlValue;
    } cases[] = {
        {ProcAmpProperty::Brightness, V4L2_CID_BRIGHTNESS, {-128, 127}, 0, -128},
        {ProcAmpProperty::Brightness, V4L2_CID_BRIGHTNESS, {-128, 127}, 255, 127},
        {ProcAmpProperty::Brightness, V4L2_CID_BRIGHTNESS, {-128, 127}, 100, -28},
        {ProcAmpProperty::Contrast, V4L2_CID_CONTRAST, {0, 255}, 63, 255},
        {ProcAmpProperty::Contrast, V4L2_CID_CONTRAST, {0, 255}, 32, 130},
        {ProcAmpProperty::Hue, V4L2_CID_HUE, {-180, 180}, 64, 1},
        {ProcAmpProperty::Saturation, V4L2_CID_SATURATION, {0, 127}, 32, 65},
        {ProcAmpProperty::Sharpness, V4L2_CID_SHARPNESS, {0, 15}, 7, 7},
        {ProcAmpProperty::Sharpness, V4L2_CID_SHARPNESS, {0, 100, 10}, 8, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " slider " << c.slider);
        node().controls = {{c.id, c.control}};
        EXPECT_EQ(device.Set(c.property, c.slider, ovistra::media::kProcAmpFlagsManual), S_OK);
        EXPECT_EQ(node().controls.at(c.id).value, c.controlValue);
        long value = -1;
        long flags = 0;
        ASSERT_EQ(device.Get(c.property, &value, &flags), S_OK);
        if (c.control.step == 1) {
            EXPECT_EQ(value, c.slider);
        }
        EXPECT_EQ(flags, ovistra::media::kProcAmpFlagsManual);
    }
}

TEST_F(V4l2DeviceTest, EverySliderValueSurvivesTheRoundTrip) {
    node().controls = {{V4L2_CID_BRIGHTNESS, {-1000, 1000}}};
    for (long slider = 0; slider <= 255; ++slider) {
        ASSERT_EQ(device.Set(ProcAmpProperty::Brightness, slider, 0), S_OK);
        long value = -1;
        long flags = 0;
        ASSERT_EQ(device.Get(ProcAmpProperty::Brightness, &value, &flags), S_OK);
        ASSERT_EQ(value, slider);
    }
}

TEST_F(V4l2DeviceTest, AmplifierRefusesMissingControlsAndValuesOffTheSlider) {
    node().controls = {{V4L2_CID_BRIGHTNESS, {0, 255}}, {V4L2_CID_HUE, {0, 255, 1, 0, true}}};
    ProcAmpRange range{};
    long value = 0;
    long flags = 0;
    EXPECT_EQ(device.GetRange(ProcAmpProperty::Contrast, &range), E_NOTIMPL);
    EXPECT_EQ(device.Get(ProcAmpProperty::Contrast, &value, &flags), E_NOTIMPL);
    EXPECT_EQ(device.Set(ProcAmpProperty::Contrast, 10, 0), E_NOTIMPL);
    EXPECT_EQ(device.Set(ProcAmpProperty::Hue, 10, 0), E_NOTIMPL);
    EXPECT_EQ(device.Set(ProcAmpProperty::Brightness, 256, 0), E_INVALIDARG);
    EXPECT_EQ(device.Set(ProcAmpProperty::Brightness, -1, 0), E_INVALIDARG);
    EXPECT_EQ(device.Set(static_cast<ProcAmpProperty>(9), 1, 0), E_INVALIDARG);
    EXPECT_TRUE(driver.calls.empty());

    ASSERT_EQ(device.GetRange(ProcAmpProperty::Brightness, &range), S_OK);
    EXPECT_EQ(range.min, 0);
    EXPECT_EQ(range.max, 255);
    EXPECT_EQ(range.defaultValue, 100);
}

TEST_F(V4l2DeviceTest, DegenerateControlRangeNeitherDividesByZeroNorLeavesIt) {
    node().controls = {{V4L2_CID_SATURATION, {5, 5, 1, 5}}};
    EXPECT_EQ(device.Set(ProcAmpProperty::Saturation, 40, 0), S_OK);
    EXPECT_EQ(node().controls.at(V4L2_CID_SATURATION).value, 5);
    long value = -1;
    long flags = 0;
    EXPECT_EQ(device.Get(ProcAmpProperty::Saturation, &value, &flags), S_OK);
    EXPECT_EQ(value, 0);
}

TEST_F(V4l2DeviceTest, RouteNeedsAVideoInput) {
    EXPECT_EQ(device.Route(0, 1), S_OK);
    node().inputs = 0;
    EXPECT_EQ(device.Route(0, 1), E_FAIL);
}

TEST_F(V4l2DeviceTest, VanishedDeviceFailsCleanlyAndIsReopenedWhenBack) {
    EXPECT_TRUE(Write(2, 0));
    node().vanished = true;
    node().controls = {{V4L2_CID_BRIGHTNESS, {0, 255}}};
    EXPECT_FALSE(Write(2, 1));
    EXPECT_FALSE(Write(2, 2));
    EXPECT_EQ(device.Set(ProcAmpProperty::Brightness, 10, 0), E_FAIL);
    EXPECT_EQ(device.Route(0, 1), E_FAIL);
    EXPECT_EQ(driver.closes, 1);
    EXPECT_FALSE(device.Present());  // what a lost device is watched by

    node().vanished = false;
    EXPECT_TRUE(Write(2, 3));
    EXPECT_EQ(driver.opens, 2);
    EXPECT_EQ(driver.calls.back(), (FakeDriver::Call{VIDIOC_S_INPUT, 3}));
    EXPECT_TRUE(device.Present());
}

TEST(V4l2DeviceLifetime, DescriptorOpensOnFirstUseAndClosesWithTheDevice) {
    FakeDriver driver;
    driver.nodes[kPath] = {};
    {
        V4l2Device device(kPath, "card", driver);
        EXPECT_EQ(driver.opens, 0);
        EXPECT_EQ(device.Route(0, 1), S_OK);
        EXPECT_EQ(device.Route(0, 1), S_OK);
        EXPECT_EQ(driver.opens, 1);
    }
    EXPECT_EQ(driver.closes, 1);
    V4l2Device missing("/dev/video9", "none", driver);
    const uint8_t input = 0;
    EXPECT_FALSE(missing.WriteI2c(0x4A, 2, &input, 1));
}

TEST(V4l2DeviceList, ListsVideoCaptureNodesWithTheirCardNames) {
    FakeDriver driver;
    FakeDriver::Node capture;
    capture.card = "USB 2820 Video";
    FakeDriver::Node metadata;  // a capture device's second node: the device caps tell
    metadata.capabilities |= V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
    metadata.deviceCaps = V4L2_CAP_META_CAPTURE;
    FakeDriver::Node withDeviceCaps;
    withDeviceCaps.capabilities =
        V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_VIDEO_CAPTURE;
    withDeviceCaps.deviceCaps = V4L2_CAP_VIDEO_CAPTURE;
    withDeviceCaps.card = std::string(32, 'x');  // fills the field with no terminator
    FakeDriver::Node output;
    output.capabilities = V4L2_CAP_VIDEO_OUTPUT;
    FakeDriver::Node silent;
    silent.answersQueryCap = false;

    driver.nodes["/dev/video0"] = capture;
    driver.nodes["/dev/video1"] = metadata;
    driver.nodes["/dev/video2"] = output;
    driver.nodes["/dev/video3"] = silent;
    driver.nodes["/dev/video7"] = withDeviceCaps;
    driver.nodes["/dev/video63"] = capture;
    driver.nodes["/dev/video64"] = capture;

    const auto devices = ListV4l2Devices(driver);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].path, "/dev/video0");
    EXPECT_EQ(devices[0].cardName, "USB 2820 Video");
    EXPECT_EQ(devices[1].path, "/dev/video7");
    EXPECT_EQ(devices[1].cardName, std::string(32, 'x'));
    EXPECT_EQ(devices[2].path, "/dev/video63");
    EXPECT_EQ(driver.opens, driver.closes);

    std::string card = "untouched";
    EXPECT_FALSE(QueryV4l2Device("/dev/video1", &card, driver));
    EXPECT_FALSE(QueryV4l2Device("/dev/video5", &card, driver));
    EXPECT_EQ(card, "untouched");
    EXPECT_TRUE(QueryV4l2Device("/dev/video0", &card, driver));
    EXPECT_EQ(card, "USB 2820 Video");
}

TEST(V4l2DeviceSource, MakesAV4l2SourceOnThePath) {
    gst_init(nullptr, nullptr);
    FakeDriver driver;
    V4l2Device device("/dev/video5", "card", driver);
    GstElementFactory* factory = gst_element_factory_find("v4l2src");
    GstElement* source = device.MakeSourceElement();
    ASSERT_EQ(source != nullptr, factory != nullptr);
    if (source == nullptr) {
        return;
    }
    gst_object_unref(factory);
    EXPECT_TRUE(g_object_is_floating(source));
    gchar* path = nullptr;
    g_object_get(source, "device", &path, nullptr);
    EXPECT_STREQ(path, "/dev/video5");
    g_free(path);
    gst_object_unref(gst_object_ref_sink(source));
    EXPECT_EQ(driver.opens, 0);
}

}  // namespace
