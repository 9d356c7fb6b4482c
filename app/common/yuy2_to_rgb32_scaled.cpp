#include "yuy2_to_rgb32_scaled.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace ovistra {
namespace {

constexpr int kSrcWidth = 640;
constexpr int kSrcHeight = 480;
constexpr int kSrcStrideBytes = 1280;

uint32_t Clamp255(int v) {
    return static_cast<uint32_t>(std::clamp(v, 0, 255));
}

// The integer formula of Yuy2ToRgb24, packed as 0xFFRRGGBB.
uint32_t PixelOf(int y, int u, int v) {
    const int c = 74 * (y - 16) + 32;
    const int d = u - 128;
    const int e = v - 128;
    const uint32_t blue = Clamp255((c + 129 * d) >> 6);
    const uint32_t green = Clamp255((c - 25 * d - 52 * e) >> 6);
    const uint32_t red = Clamp255((c + 102 * e) >> 6);
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

void ScaleRow(uint32_t* dst, int dstWidth, const uint8_t* line) {
    // Source column (dx * 640) / dstWidth stepped without a division per pixel: quotient and
    // remainder advance by those of 640 / dstWidth.
    const int stepWhole = kSrcWidth / dstWidth;
    const int stepRest = kSrcWidth % dstWidth;
    int column = 0;
    int rest = 0;
    int shownColumn = -1;
    uint32_t pixel = 0;
    for (int dx = 0; dx < dstWidth; ++dx) {
        // Enlarged pictures repeat a source pixel; it is converted once.
        if (column != shownColumn) {
            const uint8_t* pair = line + (column >> 1) * 4;
            pixel = PixelOf(pair[(column & 1) * 2], pair[1], pair[3]);
            shownColumn = column;
        }
        dst[dx] = pixel;
        column += stepWhole;
        rest += stepRest;
        if (rest >= dstWidth) {
            rest -= dstWidth;
            ++column;
        }
    }
}

}  // namespace

void Yuy2ToRgb32Scaled(uint32_t* dst, int dstStridePixels, int dstWidth, int dstHeight,
                       const uint8_t* frame) {
    if (dst == nullptr || frame == nullptr || dstWidth <= 0 || dstHeight <= 0 ||
        dstStridePixels < dstWidth) {
        return;
    }
    const size_t rowBytes = static_cast<size_t>(dstWidth) * sizeof(uint32_t);
    int previousLine = -1;
    for (int dy = 0; dy < dstHeight; ++dy) {
        const int line = static_cast<int>(int64_t{dy} * kSrcHeight / dstHeight);
        uint32_t* row = dst + static_cast<ptrdiff_t>(dy) * dstStridePixels;
        if (line == previousLine) {
            std::memcpy(row, row - dstStridePixels, rowBytes);
        } else {
            ScaleRow(row, dstWidth, frame + static_cast<ptrdiff_t>(line) * kSrcStrideBytes);
            previousLine = line;
        }
    }
}

}  // namespace ovistra
