#include "picture_adjustment.h"

namespace ovistra {
namespace {

using media::ProcAmpProperty;

constexpr ProcAmpProperty kAll[PictureAdjustment::kProperties] = {
    ProcAmpProperty::Brightness, ProcAmpProperty::Contrast, ProcAmpProperty::Hue,
    ProcAmpProperty::Saturation, ProcAmpProperty::Sharpness};

}  // namespace

std::optional<long> PictureAdjustment::Read(ProcAmpProperty property) const {
    long value = 0;
    long flags = 0;
    if (!amp_ || media::Failed(amp_->Get(property, &value, &flags))) {
        return std::nullopt;
    }
    return value;
}

void PictureAdjustment::Set(ProcAmpProperty property, long value) {
    if (amp_) {
        amp_->Set(property, value, media::kProcAmpFlagsManual);
    }
    if (property == ProcAmpProperty::Saturation) {
        blackWhite_ = false;
    }
}

long PictureAdjustment::ToggleBlackWhite() {
    if (blackWhite_) {
        if (savedSaturation_ <= kGreyestKeptSaturation) {
            savedSaturation_ = kRestoredSaturation;
        }
        if (amp_) {
            amp_->Set(ProcAmpProperty::Saturation, savedSaturation_, savedFlags_);
        }
        blackWhite_ = false;
        return savedSaturation_;
    }
    long value = 0;
    long flags = 0;
    if (amp_ && !media::Failed(amp_->Get(ProcAmpProperty::Saturation, &value, &flags))) {
        savedSaturation_ = value;
        savedFlags_ = flags;
        amp_->Set(ProcAmpProperty::Saturation, 0, flags);
    }
    blackWhite_ = true;
    return 0;
}

std::optional<std::array<long, PictureAdjustment::kProperties>> PictureAdjustment::SetDefaults() {
    if (!amp_) {
        return std::nullopt;
    }
    std::array<long, kProperties> values{};
    for (int i = 0; i < kProperties; ++i) {
        media::ProcAmpRange range{};
        const bool known = !media::Failed(amp_->GetRange(kAll[i], &range));
        if (kAll[i] == ProcAmpProperty::Brightness) {
            values[i] = kDefaultBrightness;
            amp_->Set(kAll[i], values[i], known ? range.flags : media::kProcAmpFlagsManual);
        } else if (known) {
            values[i] = range.defaultValue;
            amp_->Set(kAll[i], values[i], range.flags);
        } else {
            values[i] = Read(kAll[i]).value_or(0);
        }
    }
    blackWhite_ = false;
    return values;
}

}  // namespace ovistra
