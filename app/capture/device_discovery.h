// Finding the capture device and the encoders by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "capture_device.h"

namespace ovistra {

// The first video input device whose friendly name begins with `name` (case-sensitive);
// S_OK and the device in *out, else E_FAIL and *out left alone.
media::HRESULT FindDeviceByName(const media::DeviceList& devices, const std::string& name,
                                std::shared_ptr<media::CaptureDevice>* out);

enum class CompressorCategory { Video, Audio };

struct EncoderEntry {
    std::string factoryName;  // to make the element
    std::string longName;     // the friendly name matched on
};

// The machine's GStreamer encoders of a category, in rank order (highest first).
std::vector<EncoderEntry> ListEncoders(CompressorCategory category);

// The first entry whose long name contains `text` anywhere; a null text takes the first entry.
// True and the factory name in *factoryName when one matched.
bool FindCompressorIn(const std::vector<EncoderEntry>& encoders, const char* text,
                      std::string* factoryName);

// FindCompressorIn over ListEncoders(category).
bool FindCompressor(CompressorCategory category, const char* text, std::string* factoryName);

}  // namespace ovistra
