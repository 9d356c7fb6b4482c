// The capture device's picture controls as the camera settings dialog works them: the five
// amplifier properties, a black-and-white switch that keeps the saturation it replaced, and the
// device's defaults. Without a device nothing reaches it, but the switch still keeps its state.
#pragma once

#include <array>
#include <optional>

#include "capture_device.h"

namespace ovistra {

class PictureAdjustment {
public:
    static constexpr int kProperties = 5;  // brightness, contrast, hue, saturation, sharpness
    static constexpr long kDefaultBrightness = 100;
    // Turning colour back on never brings back a picture that was nearly grey already.
    static constexpr long kGreyestKeptSaturation = 9;
    static constexpr long kRestoredSaturation = 32;

    // Null: no device. The amplifier outlives its use here; the owner hands it anew when the
    // device changes.
    void SetDevice(media::VideoProcAmp* amp) { amp_ = amp; }
    bool hasDevice() const { return amp_ != nullptr; }

    std::optional<long> Read(media::ProcAmpProperty property) const;
    // The value set by hand; a saturation ends black-and-white.
    void Set(media::ProcAmpProperty property, long value);

    bool blackWhite() const { return blackWhite_; }
    // Switches black-and-white and returns the saturation now in force (0 when switched on).
    long ToggleBlackWhite();

    // Brightness 100, the other four their device defaults; black-and-white ends. The values
    // set, or nullopt without a device.
    std::optional<std::array<long, kProperties>> SetDefaults();

private:
    media::VideoProcAmp* amp_ = nullptr;
    bool blackWhite_ = false;
    long savedSaturation_ = kRestoredSaturation;
    long savedFlags_ = media::kProcAmpFlagsManual;
};

}  // namespace ovistra
