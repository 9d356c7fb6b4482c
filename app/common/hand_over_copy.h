// The picture handed over to a sibling program through the shared block: the camera frame at
// half size, every other line and every other pixel pair, still YUY2.
#pragma once

#include <cstdint>

#include "pixel_rows.h"

namespace ovistra {

constexpr int kHandOverWidth = 320;
constexpr int kHandOverHeight = 240;
constexpr int kHandOverBytes = kHandOverWidth * kHandOverHeight * 2;  // 153600

// Copies frame line 2k of a top-down 640x480 YUY2 frame into block line k, taking bytes 0-3 of
// every 8 (the first pixel pair of every two). Either pointer may be null (no frame grabbed yet,
// or the shared block could not be mapped): then nothing is copied. The two must not overlap.
void CopyHandOverFrame(const uint8_t* frame640x480, uint8_t* block320x240);

// One row of `units` 8-byte source units to 4-byte destination units: the reference every
// faster variant matches byte for byte.
void HandOverRow_C(const uint8_t* src, uint8_t* dst, int units);

inline constexpr PixelRowVariants kHandOverRow{
    HandOverRow_C, HandOverRow_SSE2, 4, HandOverRow_AVX2, 8, 8, 4};

}  // namespace ovistra
