// Row variants of the picture conversions, side by side with their references (the _C rows in
// yuy2_to_rgb24.h and grey_plane.h). The SSE2 and AVX2 rows take counts that are a multiple of
// the block given beside them; the plane functions run the rest of a row on the reference.
#pragma once

#include <cstdint>

namespace ovistra {

// Blocks of 8 and 16 groups (16 and 32 pixels).
void Yuy2ToRgb24Row_SSE2(const uint8_t* src, uint8_t* dst, int groups);
void Yuy2ToRgb24Row_AVX2(const uint8_t* src, uint8_t* dst, int groups);

// Blocks of 16 and 32 pixels.
void BgrToGreyRow_SSE2(const uint8_t* bgr, uint8_t* grey, int width);
void BgrToGreyRow_AVX2(const uint8_t* bgr, uint8_t* grey, int width);

// Blocks of 8 and 16 groups (16 and 32 pixels).
void Yuy2ToGreyRow_SSE2(const uint8_t* yuy2, uint8_t* grey, int groups);
void Yuy2ToGreyRow_AVX2(const uint8_t* yuy2, uint8_t* grey, int groups);

}  // namespace ovistra
