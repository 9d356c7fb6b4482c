#include "yuy2_to_rgb32_scaled.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "yuy2_to_rgb24.h"

namespace ovistra {
namespace {

constexpr int kSrcWidth = 640;
constexpr int kSrcHeight = 480;
constexpr int kSrcStrideBytes = 1280;
// Columns mapped at a time; wider pictures are made in stripes of this width.
constexpr int kStripeColumns = 4096;

// Each pixel is read as four bytes, blue first, with the fourth then replaced by 0xFF.
static_assert(std::endian::native == std::endian::little);

// The byte offset in a converted line of each column of the stripe from firstColumn on: of
// source column (dx * 640) / dstWidth, stepped without a division per column.
void MapColumns(uint16_t* map, int firstColumn, int columns, int dstWidth) {
    const int64_t start = int64_t{firstColumn} * kSrcWidth;
    int column = static_cast<int>(start / dstWidth);
    int rest = static_cast<int>(start % dstWidth);
    const int stepWhole = kSrcWidth / dstWidth;
    const int stepRest = kSrcWidth % dstWidth;
    for (int i = 0; i < columns; ++i) {
        map[i] = static_cast<uint16_t>(column * 3);
        column += stepWhole;
        rest += stepRest;
        if (rest >= dstWidth) {
            rest -= dstWidth;
            ++column;
        }
    }
}

void PickColumns(uint32_t* dst, const uint8_t* bgrLine, const uint16_t* map, int columns) {
    for (int i = 0; i < columns; ++i) {
        uint32_t bgrx;
        std::memcpy(&bgrx, bgrLine + map[i], sizeof bgrx);
        dst[i] = 0xFF000000u | bgrx;
    }
}

}  // namespace

void Yuy2ToRgb32Scaled(uint32_t* dst, int dstStridePixels, int dstWidth, int dstHeight,
                       const uint8_t* frame) {
    if (dst == nullptr || frame == nullptr || dstWidth <= 0 || dstHeight <= 0 ||
        dstStridePixels < dstWidth) {
        return;
    }
    // Whole source lines go through the station's own conversion and its SIMD rows, which is
    // cheaper than the formula per picked pixel even when every other column is skipped.
    uint8_t bgrLine[kSrcWidth * 3 + 1];
    bgrLine[kSrcWidth * 3] = 0;  // the fourth byte read with the last pixel
    uint16_t map[kStripeColumns];
    for (int firstColumn = 0; firstColumn < dstWidth; firstColumn += kStripeColumns) {
        const int columns = std::min(kStripeColumns, dstWidth - firstColumn);
        MapColumns(map, firstColumn, columns, dstWidth);
        const size_t stripeBytes = static_cast<size_t>(columns) * sizeof(uint32_t);
        int previousLine = -1;
        for (int dy = 0; dy < dstHeight; ++dy) {
            const int line = static_cast<int>(int64_t{dy} * kSrcHeight / dstHeight);
            uint32_t* out = dst + static_cast<ptrdiff_t>(dy) * dstStridePixels + firstColumn;
            if (line == previousLine) {
                std::memcpy(out, out - dstStridePixels, stripeBytes);
                continue;
            }
            Yuy2ToRgb24(bgrLine, frame + static_cast<ptrdiff_t>(line) * kSrcStrideBytes,
                        kSrcWidth / 2, 1, 0, 0);
            PickColumns(out, bgrLine, map, columns);
            previousLine = line;
        }
    }
}

}  // namespace ovistra
