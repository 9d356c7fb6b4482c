#include "grey_plane.h"

#include "cpu_features.h"
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
    void (*fast)(const uint8_t*, uint8_t*, int) = BgrToGreyRow_C;
    int block = 1;
    switch (simd::ActiveVariant()) {
        case simd::Variant::kAvx2:
            fast = BgrToGreyRow_AVX2;
            block = 32;
            break;
        case simd::Variant::kSse2:
            fast = BgrToGreyRow_SSE2;
            block = 16;
            break;
        case simd::Variant::kC:
            break;
    }
    const int n = width - width % block;
    for (int r = 0; r < height; ++r) {
        // Offsets from the start, so no pointer is formed outside the picture.
        const int line = order == RowOrder::kBottomUp ? height - 1 - r : r;
        const uint8_t* src = bgr + line * bgrStrideBytes;
        uint8_t* dst = grey + r * greyStrideBytes;
        fast(src, dst, n);
        BgrToGreyRow_C(src + 3 * n, dst + n, width - n);
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
    void (*fast)(const uint8_t*, uint8_t*, int) = Yuy2ToGreyRow_C;
    int block = 1;
    switch (simd::ActiveVariant()) {
        case simd::Variant::kAvx2:
            fast = Yuy2ToGreyRow_AVX2;
            block = 16;
            break;
        case simd::Variant::kSse2:
            fast = Yuy2ToGreyRow_SSE2;
            block = 8;
            break;
        case simd::Variant::kC:
            break;
    }
    const int n = groups - groups % block;
    for (int line = 0; line < lines; ++line) {
        const uint8_t* src = yuy2 + line * yuy2StrideBytes;
        uint8_t* dst = grey + line * greyStrideBytes;
        fast(src, dst, n);
        Yuy2ToGreyRow_C(src + 4 * n, dst + 2 * n, groups - n);
    }
}

}  // namespace ovistra
