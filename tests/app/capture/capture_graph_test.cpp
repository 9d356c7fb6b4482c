// The capture graph over devices of the test's own: which device it takes under which name,
// what it sets on the device, and that frames reach only the selected grabber.
#include "capture_graph.h"

#include <gtest/gtest.h>

#include <QTest>
#include <map>

namespace {

using namespace ovistra;
using media::ProcAmpProperty;

// A device with a live test picture in the capture format and optional interfaces.
class FakeDevice final : public media::CaptureDevice,
                         public media::VideoProcAmp,
                         public media::Crossbar {
public:
    FakeDevice(std::string name, bool crossbar = true, bool procAmp = true)
        : name_(std::move(name)), hasCrossbar_(crossbar), hasProcAmp_(procAmp) {}

    std::string FriendlyName() const override { return name_; }
    GstElement* MakeSourceElement() override {
        source = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(source, "is-live", TRUE, nullptr);
        return source;
    }
    media::IChipProperty* ChipProperty() override { return nullptr; }
    media::I2cBus* Bus() override { return nullptr; }
    media::VideoProcAmp* ProcAmp() override { return hasProcAmp_ ? this : nullptr; }
    media::Crossbar* CrossbarControl() override { return hasCrossbar_ ? this : nullptr; }

    media::HRESULT GetRange(ProcAmpProperty, media::ProcAmpRange*) override {
        return media::E_NOTIMPL;
    }
    media::HRESULT Get(ProcAmpProperty p, long* value, long* flags) override {
        *value = set[p];
        *flags = 0;
        return media::S_OK;
    }
    media::HRESULT Set(ProcAmpProperty p, long value, long) override {
        set[p] = value;
        return media::S_OK;
    }
    media::HRESULT Route(int output, int input) override {
        routed = {output, input};
        return media::S_OK;
    }

    std::map<ProcAmpProperty, long> set;
    std::pair<int, int> routed{-1, -1};
    GstElement* source = nullptr;

private:
    std::string name_;
    bool hasCrossbar_;
    bool hasProcAmp_;
};

class CaptureGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
    std::shared_ptr<FakeDevice> Add(std::string name, bool crossbar = true, bool procAmp = true) {
        auto device = std::make_shared<FakeDevice>(std::move(name), crossbar, procAmp);
        devices.Add(media::DeviceCategory::VideoInput, device);
        return device;
    }
    media::StaticDeviceList devices;
};

TEST_F(CaptureGraphTest, TakesTheDeviceUnderTheFirstNameItFinds) {
    struct Case {
        std::vector<std::string> present;
        CaptureGraph::BuildResult result;
        std::string taken;
        bool alternate;
    };
    const Case cases[] = {
        {{"USB 2.0 A/V Converter #2"},
         CaptureGraph::BuildResult::Built,
         "USB 2.0 A/V Converter #2",
         false},
        {{"USB 2820 Video"}, CaptureGraph::BuildResult::Built, "USB 2820 Video", true},
        {{"USB 2820 Video", "USB 2820 Device"},
         CaptureGraph::BuildResult::Built,
         "USB 2820 Device",
         true},
        {{"Other", "My USB 2.0 A/V Converter"}, CaptureGraph::BuildResult::NoDevice, "", true},
        {{}, CaptureGraph::BuildResult::NoDevice, "", true},
    };
    for (const Case& c : cases) {
        media::StaticDeviceList list;
        for (const auto& name : c.present) {
            list.Add(media::DeviceCategory::VideoInput, std::make_shared<FakeDevice>(name));
        }
        CaptureGraph graph(list);
        EXPECT_EQ(graph.Build(100), c.result) << c.taken;
        if (c.result == CaptureGraph::BuildResult::Built) {
            EXPECT_EQ(graph.device()->FriendlyName(), c.taken);
            EXPECT_EQ(graph.alternateDevice(), c.alternate) << c.taken;
        }
    }
}

TEST_F(CaptureGraphTest, SetsBrightnessNeutralSaturationAndTheRoute) {
    auto device = Add("USB 2.0 A/V Converter");
    CaptureGraph graph(devices);
    ASSERT_EQ(graph.Build(140), CaptureGraph::BuildResult::Built);
    EXPECT_EQ(device->set[ProcAmpProperty::Brightness], 140);
    EXPECT_EQ(device->set[ProcAmpProperty::Saturation], 32);
    EXPECT_EQ(device->routed, std::make_pair(0, 1));
}

TEST_F(CaptureGraphTest, ADeviceWithoutCrossbarOrAmplifierIsBuiltButNotRunnable) {
    struct Case {
        bool crossbar;
        bool procAmp;
        CaptureGraph::BuildResult result;
    };
    for (const Case& c : {Case{false, true, CaptureGraph::BuildResult::NoCrossbar},
                          Case{true, false, CaptureGraph::BuildResult::NoAmplifier}}) {
        media::StaticDeviceList list;
        list.Add(media::DeviceCategory::VideoInput,
                 std::make_shared<FakeDevice>("USB 2820 Device", c.crossbar, c.procAmp));
        CaptureGraph graph(list);
        EXPECT_EQ(graph.Build(100), c.result);
    }
}

TEST_F(CaptureGraphTest, FramesReachOnlyTheSelectedGrabber) {
    Add("USB 2.0 A/V Converter");
    CaptureGraph graph(devices);
    ASSERT_EQ(graph.Build(100), CaptureGraph::BuildResult::Built);
    graph.router().SelectOutput(2);
    ASSERT_TRUE(graph.Run());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return graph.router().grabber(2).framesReceived() >= 3; }, 10000));
    graph.Stop();
    for (int i : {0, 1, 3}) {
        EXPECT_EQ(graph.router().grabber(i).framesReceived(), 0u) << i;
    }
    const media::FrameGrabber::Lease lease = graph.router().grabber(2).GetBuffer();
    EXPECT_TRUE(lease);
}

TEST_F(CaptureGraphTest, ASourceFailingWhileRunningIsReportedOnceOnTheUiThread) {
    auto device = Add("USB 2820 Video");
    CaptureGraph graph(devices);
    ASSERT_EQ(graph.Build(100), CaptureGraph::BuildResult::Built);
    int lost = 0;
    graph.SetDeviceLostHandler([&] { ++lost; });
    graph.router().SelectOutput(0);
    ASSERT_TRUE(graph.Run());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return graph.router().grabber(0).framesReceived() > 0; }, 10000));
    for (int i = 0; i < 2; ++i) {
        GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "gone");
        gst_element_post_message(
            device->source, gst_message_new_error(GST_OBJECT(device->source), error, "unplugged"));
        g_error_free(error);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return lost > 0; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(lost, 1);
    // The pictures stop.
    const uint64_t frames = graph.router().grabber(0).framesReceived();
    QTest::qWait(200);
    EXPECT_EQ(graph.router().grabber(0).framesReceived(), frames);
}

}  // namespace
