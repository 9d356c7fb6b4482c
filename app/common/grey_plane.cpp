#include "grey_plane.h"

#include "pixel_rows.h"
#include "yuy2_to_rgb24.h"

namespace ovistra {

void BgrToGreyRow_C(const uint8_t* bgr, uint8_t* grey, int width) {
    for (int x = 0; x < width; ++x, bgr += 3) {
        grey[x] = static_cast<uint8_t>((77 * bgr[2] + 151 * bgr[1] + 28 * bgr[0]) / 256);
    }
}

void MakeGreyPlane(uint8_t* grey, ptrdiff_t greyStrideBytes, const uint8_t* bgr,
                   ptrdiff_t bgrStrideBytes, int width, int height, RowOrder order) {
    if (width <= 0 || height <= 0) {
        return;
    }
    static constexpr PixelRowVariants kRow{
        BgrToGreyRow_C, BgrToGreyRow_SSE2, 16, BgrToGreyRow_AVX2, 32, 3, 1};
    const PixelRow row(kRow);
    for (int r = 0; r < height; ++r) {
        // Offsets from the start, so no pointer is formed outside the picture.
        const int line = order == RowOrder::kBottomUp ? height - 1 - r : r;
        const uint8_t* src = bgr + line * bgrStrideBytes;
        uint8_t* dst = grey + r * greyStrideBytes;
        row.Run(src, dst, width);
    }
}

void Yuy2ToGreyRow_C(const uint8_t* yuy2, uint8_t* grey, int groups) {
    for (int g = 0; g < groups; ++g, yuy2 += 4, grey += 2) {
        uint8_t bgr[6];
        Yuy2ToRgb24Row_C(yuy2, bgr, 1);
        BgrToGreyRow_C(bgr, grey, 2);
    }
}

void Yuy2ToGreyPlane(uint8_t* grey, ptrdiff_t greyStrideBytes, const uint8_t* yuy2,
                     ptrdiff_t yuy2StrideBytes, int groups, int lines) {
    if (groups <= 0 || lines <= 0) {
        return;
    }
    static constexpr PixelRowVariants kRow{
        Yuy2ToGreyRow_C, Yuy2ToGreyRow_SSE2, 8, Yuy2ToGreyRow_AVX2, 16, 4, 2};
    const PixelRow row(kRow);
    for (int line = 0; line < lines; ++line) {
        const uint8_t* src = yuy2 + line * yuy2StrideBytes;
        uint8_t* dst = grey + line * greyStrideBytes;
        row.Run(src, dst, groups);
    }
}

}  // namespace ovistra
