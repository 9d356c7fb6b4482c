// Row variants of the picture conversions, side by side with their references (the _C rows in
// yuy2_to_rgb24.h, grey_plane.h and hand_over_copy.h). The SSE2 and AVX2 rows take counts that
// are a multiple of the block given beside them; the plane functions run the rest of a row on
// the reference.
#pragma once

#include <cstdint>

namespace ovistra {

using PixelRowFn = void (*)(const uint8_t* src, uint8_t* dst, int units);

// One row function in its variants, and the unit sizes the row is counted in.
struct PixelRowVariants {
    PixelRowFn c;
    PixelRowFn sse2;
    int sse2Block;  // the SSE2 row takes counts that are a multiple of this
    PixelRowFn avx2;
    int avx2Block;
    int srcUnitBytes;
    int dstUnitBytes;
};

// A row of `units` through the active variant, the tail that is no whole block on the reference.
// Defined out of line: this header is also compiled with SIMD flags.
class PixelRow {
public:
    explicit PixelRow(const PixelRowVariants& variants);
    void Run(const uint8_t* src, uint8_t* dst, int units) const;

private:
    const PixelRowVariants& variants_;
    PixelRowFn fast_;
    int block_;
};

// Blocks of 8 and 16 groups (16 and 32 pixels).
void Yuy2ToRgb24Row_SSE2(const uint8_t* src, uint8_t* dst, int groups);
void Yuy2ToRgb24Row_AVX2(const uint8_t* src, uint8_t* dst, int groups);

// Blocks of 16 and 32 pixels.
void BgrToGreyRow_SSE2(const uint8_t* bgr, uint8_t* grey, int width);
void BgrToGreyRow_AVX2(const uint8_t* bgr, uint8_t* grey, int width);

// Blocks of 8 and 16 groups (16 and 32 pixels).
void Yuy2ToGreyRow_SSE2(const uint8_t* yuy2, uint8_t* grey, int groups);
void Yuy2ToGreyRow_AVX2(const uint8_t* yuy2, uint8_t* grey, int groups);

// Blocks of 4 and 8 units (8 source bytes to 4 block bytes each).
void HandOverRow_SSE2(const uint8_t* src, uint8_t* dst, int units);
void HandOverRow_AVX2(const uint8_t* src, uint8_t* dst, int units);

}  // namespace ovistra
