// The station's one YUY2 -> 24-bit BGR conversion (recording and detection both use it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ovistra {

// Converts `lines` lines of `groups` Y0 U Y1 V groups into blue, green, red pixels. After each
// line the source moves by its own 4 * groups bytes plus srcStepBytes (negative to walk a frame
// upward) and the destination by 6 * groups bytes plus dstGapBytes.
void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, int groups, int lines, ptrdiff_t dstGapBytes,
                 ptrdiff_t srcStepBytes);

// One line of the conversion: the reference every faster variant matches byte for byte.
void Yuy2ToRgb24Row_C(const uint8_t* src, uint8_t* dst, int groups);

}  // namespace ovistra
