#include "contrast_ratio.h"

#include <algorithm>
#include <cmath>

namespace ovistra {
namespace {

double Linear(int component) {
    const double c = (component & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LuminanceOf(uint32_t colour) {
    return RelativeLuminance(static_cast<int>(colour & 0xFF),
                             static_cast<int>((colour >> 8) & 0xFF),
                             static_cast<int>((colour >> 16) & 0xFF));
}

}  // namespace

double RelativeLuminance(int red, int green, int blue) {
    return 0.2126 * Linear(red) + 0.7152 * Linear(green) + 0.0722 * Linear(blue);
}

double ContrastRatio(uint32_t first, uint32_t second) {
    const double a = LuminanceOf(first);
    const double b = LuminanceOf(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool IsReadable(const ColourScheme& scheme) {
    return ContrastRatio(scheme.Text(), scheme.Background()) >= kReadableContrast;
}

}  // namespace ovistra
