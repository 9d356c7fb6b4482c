#include "yuy2_to_rgb24.h"

#include <algorithm>

#include "pixel_rows.h"

namespace ovistra {
namespace {

uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// Stores one pixel as blue, green, red from its luma and the group's chroma differences.
void StorePixel(uint8_t* dst, int y, int d, int e) {
    const int c = y - 16;
    dst[0] = Clamp255((74 * c + 129 * d + 32) >> 6);
    dst[1] = Clamp255((74 * c - 25 * d - 52 * e + 32) >> 6);
    dst[2] = Clamp255((74 * c + 102 * e + 32) >> 6);
}

}  // namespace

void Yuy2ToRgb24Row_C(const uint8_t* src, uint8_t* dst, int groups) {
    for (int g = 0; g < groups; ++g, src += 4, dst += 6) {
        const int d = src[1] - 128;
        const int e = src[3] - 128;
        StorePixel(dst, src[0], d, e);
        StorePixel(dst + 3, src[2], d, e);
    }
}

void Yuy2ToRgb24(uint8_t* dst, const uint8_t* src, int groups, int lines, ptrdiff_t dstGapBytes,
                 ptrdiff_t srcStepBytes) {
    if (groups <= 0 || lines <= 0) {
        return;
    }
    static constexpr PixelRowVariants kRow{
        Yuy2ToRgb24Row_C, Yuy2ToRgb24Row_SSE2, 8, Yuy2ToRgb24Row_AVX2, 16, 4, 6};
    const PixelRow row(kRow);
    // Offsets from the start, so no pointer is ever formed outside the frame after the last line.
    const ptrdiff_t srcPitch = ptrdiff_t{4} * groups + srcStepBytes;
    const ptrdiff_t dstPitch = ptrdiff_t{6} * groups + dstGapBytes;
    for (int line = 0; line < lines; ++line) {
        const uint8_t* from = src + line * srcPitch;
        uint8_t* to = dst + line * dstPitch;
        row.Run(from, to, groups);
    }
}

}  // namespace ovistra
