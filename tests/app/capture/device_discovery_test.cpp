#include "device_discovery.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include "fake_capture_device.h"

namespace {

using ovistra::CompressorCategory;
using ovistra::EncoderEntry;
using ovistra::FindCompressor;
using ovistra::FindCompressorIn;
using ovistra::FindDeviceByName;
using ovistra::ListEncoders;
using ovistra::media::CaptureDevice;
using ovistra::media::DeviceCategory;
using ovistra::media::E_FAIL;
using ovistra::media::S_OK;
using ovistra::media::StaticDeviceList;
using ovistra::testing::MakeDevice;

struct DeviceCase {
    const char* label;
    std::vector<const char*> videoInputs;
    std::vector<const char*> bdaReceivers;
    const char* name;
    const char* expected;  // null: not found
};

TEST(FindDeviceByName, MatchesTheFirstVideoInputWhoseNameBeginsWithTheName) {
    const DeviceCase cases[] = {
        {"exact", {"USB 2.0 A/V Converter"}, {}, "USB 2.0 A/V Converter", "USB 2.0 A/V Converter"},
        {"instance number after the name",
         {"USB 2.0 A/V Converter #2"},
         {},
         "USB 2.0 A/V Converter",
         "USB 2.0 A/V Converter #2"},
        {"text before the name",
         {"My USB 2.0 A/V Converter"},
         {},
         "USB 2.0 A/V Converter",
         nullptr},
        {"case differs", {"usb 2.0 a/v converter"}, {}, "USB 2.0 A/V Converter", nullptr},
        {"name longer than the device's", {"USB 2.0"}, {}, "USB 2.0 A/V Converter", nullptr},
        {"first of two hits",
         {"Webcam", "USB 2820 Video 1", "USB 2820 Video 2"},
         {},
         "USB 2820 Video",
         "USB 2820 Video 1"},
        {"receiver category not searched", {}, {"USB 2820 Video"}, "USB 2820 Video", nullptr},
        {"no devices", {}, {}, "USB 2820 Video", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        StaticDeviceList devices;
        for (const char* name : c.videoInputs) {
            devices.Add(DeviceCategory::VideoInput, MakeDevice(name));
        }
        for (const char* name : c.bdaReceivers) {
            devices.Add(DeviceCategory::BdaReceiver, MakeDevice(name));
        }
        auto sentinel = MakeDevice("untouched");
        std::shared_ptr<CaptureDevice> found = sentinel;
        const auto hr = FindDeviceByName(devices, c.name, &found);
        if (c.expected != nullptr) {
            EXPECT_EQ(hr, S_OK);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->FriendlyName(), c.expected);
        } else {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(found, sentinel);
        }
    }
}

TEST(FindCompressorIn, MatchesContainedTextOrTakesTheFirstForNoText) {
    const std::vector<EncoderEntry> encoders = {
        {"first", "Some Other Codec"},
        {"prefixed", "Vendor DivX Pro(tm) 5.1.1 Codec"},
        {"suffixed", "DivX Pro(tm) 5.1.1 Codec (x64)"},
        {"plain", "MPEG-4 part 2 encoder"},
    };
    struct Case {
        const char* text;
        const char* expected;  // null: no match
    } cases[] = {
        {nullptr, "first"},
        {"DivX Pro(tm) 5.1.1 Codec", "prefixed"},
        {"(x64)", "suffixed"},
        {"part 2", "plain"},
        {"", "first"},
        {"divx pro(tm) 5.1.1 codec", nullptr},
        {"Codec (x86)", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        std::string factory = "untouched";
        EXPECT_EQ(FindCompressorIn(encoders, c.text, &factory), c.expected != nullptr);
        EXPECT_EQ(factory, c.expected ? c.expected : "untouched");
    }
    std::string factory;
    EXPECT_FALSE(FindCompressorIn({}, nullptr, &factory));
}

class Encoders : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

    static std::string Klass(const std::string& factoryName) {
        GstElementFactory* factory = gst_element_factory_find(factoryName.c_str());
        if (factory == nullptr) {
            return {};
        }
        std::string klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
        gst_object_unref(factory);
        return klass;
    }

    static guint Rank(const std::string& factoryName) {
        GstElementFactory* factory = gst_element_factory_find(factoryName.c_str());
        const guint rank = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory));
        gst_object_unref(factory);
        return rank;
    }
};

TEST_F(Encoders, ListsEncodersOfTheCategoryInRankOrder) {
    const auto video = ListEncoders(CompressorCategory::Video);
    ASSERT_FALSE(video.empty());
    for (size_t i = 0; i < video.size(); ++i) {
        SCOPED_TRACE(video[i].factoryName);
        const std::string klass = Klass(video[i].factoryName);
        EXPECT_NE(klass.find("Encoder"), std::string::npos);
        EXPECT_EQ(klass.find("Audio"), std::string::npos);
        EXPECT_FALSE(video[i].longName.empty());
        if (i > 0) {
            EXPECT_GE(Rank(video[i - 1].factoryName), Rank(video[i].factoryName));
        }
    }
    for (const auto& entry : ListEncoders(CompressorCategory::Audio)) {
        SCOPED_TRACE(entry.factoryName);
        EXPECT_NE(Klass(entry.factoryName).find("Audio"), std::string::npos);
    }
}

TEST_F(Encoders, FindsTheRegistryEncoderByItsLongName) {
    std::string factory;
    ASSERT_TRUE(FindCompressor(CompressorCategory::Video, "JPEG image encoder", &factory));
    EXPECT_EQ(factory, "jpegenc");
    EXPECT_FALSE(FindCompressor(CompressorCategory::Audio, "JPEG image encoder", &factory));
    EXPECT_FALSE(FindCompressor(CompressorCategory::Video, "No Such Codec 9.9.9 (tm)", &factory));
    EXPECT_EQ(factory, "jpegenc");
}

}  // namespace
