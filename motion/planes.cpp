#include "planes.h"

#include <algorithm>

#include "row_kernels.h"

namespace vigimot {

size_t PlaneBytes(int width, int height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

void AbsDiffPlane(const PlaneView& a, const PlaneView& b, uint8_t* dst) {
    if (PlaneBytes(a.width, a.height) == 0) {
        return;
    }
    for (int y = 0; y < a.height; ++y) {
        AbsDiffRow_C(a.data + y * a.strideBytes, b.data + y * b.strideBytes,
                     dst + static_cast<ptrdiff_t>(y) * a.width, a.width);
    }
}

std::optional<Band> BinarizeBand(int32_t mode, int32_t level1, int32_t level2) {
    // Levels are 32-bit; the band is worked out in 64 bits and then cut to the byte range.
    const int64_t l1 = level1;
    const int64_t l2 = level2;
    int64_t lo = 0;
    int64_t hi = 0;
    uint8_t inside = 0;
    switch (mode) {
        case 1:  // 0 strictly between L2 and L1
            lo = l2 + 1;
            hi = l1 - 1;
            break;
        case 2:  // 0 from L1 to L2, both included
            if (level2 == 65535) {
                return std::nullopt;
            }
            lo = l1;
            hi = l2;
            break;
        case 3:
            lo = hi = l1;
            inside = 255;
            break;
        case 4:
            lo = l1 + 1;
            hi = 255;
            inside = 255;
            break;
        case 5:
            lo = 0;
            hi = l1 - 1;
            inside = 255;
            break;
        default:
            return std::nullopt;
    }
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, 255);
    if (lo > hi) {
        lo = 1;
        hi = 0;
    }
    return Band{static_cast<int>(lo), static_cast<int>(hi), inside};
}

Band ChangedBand(int threshold) {
    return *BinarizeBand(4, threshold, 0);
}

void BandPlane(const uint8_t* src, uint8_t* dst, size_t bytes, const Band& band) {
    // Rows of a packed plane are contiguous, so the plane runs as one long row.
    BandRow_C(src, dst, static_cast<int>(bytes), band.lo, band.hi, band.inside);
}

void ErodePlane(const uint8_t* src, uint8_t* dst, int width, int height) {
    if (PlaneBytes(width, height) == 0) {
        return;
    }
    auto row = [&](int y) { return src + static_cast<ptrdiff_t>(y) * width; };
    for (int y = 0; y < height; ++y) {
        // A missing row above or below is replaced by the row itself: the AND stays the same.
        ErodeRow_C(row(std::max(y - 1, 0)), row(y), row(std::min(y + 1, height - 1)),
                   dst + static_cast<ptrdiff_t>(y) * width, width);
    }
}

int32_t CountSetPlane(const uint8_t* src, size_t bytes) {
    return CountSetRow_C(src, static_cast<int>(bytes));
}

Bounds FindBounds(const uint8_t* mask, int width, int height) {
    Bounds b{false, width, height, 0, 0};
    if (PlaneBytes(width, height) == 0) {
        return b;
    }
    for (int y = 0; y < height; ++y) {
        int first = 0;
        int last = 0;
        if (!SetSpanRow_C(mask + static_cast<ptrdiff_t>(y) * width, width, &first, &last)) {
            continue;
        }
        if (!b.any) {
            b = Bounds{true, first, y, last, y};
            continue;
        }
        b.left = std::min(b.left, first);
        b.right = std::max(b.right, last);
        b.bottom = y;
    }
    return b;
}

}  // namespace vigimot
