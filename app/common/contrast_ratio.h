// How well one colour reads on another: the ratio of their relative luminances (sRGB
// components linearised, weighted 0.2126, 0.7152, 0.0722), each plus 0.05, the lighter over
// the darker. 1 for one colour on itself, 21 for black on white.
#pragma once

#include <cstdint>

#include "colour_scheme.h"

namespace ovistra {

// Below this text on its background is too faint to read comfortably.
constexpr double kReadableContrast = 3.0;

// 0 for black to 1 for white; components are taken modulo 256.
double RelativeLuminance(int red, int green, int blue);

// Colour values with red in the low byte, as ColourScheme::Background() and Text() give them.
double ContrastRatio(uint32_t first, uint32_t second);

// The scheme's text on its own background.
bool IsReadable(const ColourScheme& scheme);

}  // namespace ovistra
