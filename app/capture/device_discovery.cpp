#include "device_discovery.h"

#include <gst/gst.h>

#include <cstring>

namespace ovistra {
namespace {

struct PluginFeatureListFree {
    void operator()(GList* list) const { gst_plugin_feature_list_free(list); }
};

}  // namespace

media::HRESULT FindDeviceByName(const media::DeviceList& devices, const std::string& name,
                                std::shared_ptr<media::CaptureDevice>* out) {
    if (out == nullptr) {
        return media::E_POINTER;
    }
    for (auto& device : devices.Devices(media::DeviceCategory::VideoInput)) {
        // A device's friendly name may carry an instance number after the name asked for.
        if (device && device->FriendlyName().starts_with(name)) {
            *out = std::move(device);
            return media::S_OK;
        }
    }
    return media::E_FAIL;
}

std::vector<EncoderEntry> ListEncoders(CompressorCategory category) {
    std::vector<EncoderEntry> encoders;
    if (!gst_is_initialized()) {
        return encoders;
    }
    const GstElementFactoryListType type = category == CompressorCategory::Video
                                               ? GST_ELEMENT_FACTORY_TYPE_VIDEO_ENCODER
                                               : GST_ELEMENT_FACTORY_TYPE_AUDIO_ENCODER;
    std::unique_ptr<GList, PluginFeatureListFree> factories(
        gst_element_factory_list_get_elements(type, GST_RANK_NONE));
    GList* sorted = g_list_sort(factories.release(), gst_plugin_feature_rank_compare_func);
    factories.reset(sorted);
    for (GList* item = factories.get(); item != nullptr; item = item->next) {
        auto* factory = static_cast<GstElementFactory*>(item->data);
        const char* longName =
            gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        encoders.push_back({gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)),
                            longName != nullptr ? longName : ""});
    }
    return encoders;
}

bool FindCompressorIn(const std::vector<EncoderEntry>& encoders, const char* text,
                      std::string* factoryName) {
    for (const auto& entry : encoders) {
        if (text == nullptr || std::strstr(entry.longName.c_str(), text) != nullptr) {
            if (factoryName != nullptr) {
                *factoryName = entry.factoryName;
            }
            return true;
        }
    }
    return false;
}

bool FindCompressor(CompressorCategory category, const char* text, std::string* factoryName) {
    return FindCompressorIn(ListEncoders(category), text, factoryName);
}

}  // namespace ovistra
