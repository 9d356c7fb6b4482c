// The video view's conversion: a capture frame straight to 32-bit pixels at the size it is
// shown, with no full-size picture in between.
#pragma once

#include <cstdint>

namespace ovistra {

// Scales a 640x480 YUY2 frame (1280 bytes per line, top to bottom) by nearest pixel to
// dstWidth x dstHeight 0xFFRRGGBB pixels, each with the colour Yuy2ToRgb24 gives its source pixel
// (through the same row variants, so every variant gives the same pixels).
// Destination pixel (dx, dy) shows source pixel ((dx * 640) / dstWidth, (dy * 480) / dstHeight).
// Does nothing for a null pointer, a non-positive size or a stride narrower than the width.
void Yuy2ToRgb32Scaled(uint32_t* dst, int dstStridePixels, int dstWidth, int dstHeight,
                       const uint8_t* frame);

}  // namespace ovistra
