#include "planes.h"

#include <algorithm>
#include <cstring>

#include "cpu_features.h"
#include "row_kernels.h"

namespace vigimot {
namespace {

// One variant's row kernels. Its SIMD kernels take widths that are a multiple of `step`; the
// wrappers below hand the rest of a row to the reference, so no SIMD loop has a tail.
struct RowSet {
    int step;
    void (*absDiff)(const uint8_t*, const uint8_t*, uint8_t*, int);
    void (*band)(const uint8_t*, uint8_t*, int, int, int, uint8_t);
    bool (*changed)(const uint8_t*, const uint8_t*, uint8_t*, int, int);
    bool (*erodeInterior)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int);
    int (*countSet)(const uint8_t*, int);
    int (*firstSet)(const uint8_t*, int);
    int (*lastSet)(const uint8_t*, int);
};

constexpr RowSet kRowsC{1,
                        AbsDiffRow_C,
                        BandRow_C,
                        ChangedRow_C,
                        ErodeInteriorRow_C,
                        CountSetRow_C,
                        FirstSetRow_C,
                        LastSetRow_C};
constexpr RowSet kRowsSse2{16,
                           AbsDiffRow_SSE2,
                           BandRow_SSE2,
                           ChangedRow_SSE2,
                           ErodeInteriorRow_SSE2,
                           CountSetRow_SSE2,
                           FirstSetRow_SSE2,
                           LastSetRow_SSE2};
constexpr RowSet kRowsAvx2{32,
                           AbsDiffRow_AVX2,
                           BandRow_AVX2,
                           ChangedRow_AVX2,
                           ErodeInteriorRow_AVX2,
                           CountSetRow_AVX2,
                           FirstSetRow_AVX2,
                           LastSetRow_AVX2};

const RowSet& Rows() {
    switch (simd::ActiveVariant()) {
        case simd::Variant::kAvx2:
            return kRowsAvx2;
        case simd::Variant::kSse2:
            return kRowsSse2;
        case simd::Variant::kC:
            break;
    }
    return kRowsC;
}

// The part of a row the SIMD kernel takes; the rest goes to the reference.
int Body(const RowSet& k, int width) {
    return width - width % k.step;
}

void AbsDiff(const RowSet& k, const uint8_t* a, const uint8_t* b, uint8_t* dst, int width) {
    const int n = Body(k, width);
    k.absDiff(a, b, dst, n);
    AbsDiffRow_C(a + n, b + n, dst + n, width - n);
}

int CountSet(const RowSet& k, const uint8_t* src, int width) {
    const int n = Body(k, width);
    return k.countSet(src, n) + CountSetRow_C(src + n, width - n);
}

int FirstSet(const RowSet& k, const uint8_t* src, int width) {
    const int n = Body(k, width);
    const int first = k.firstSet(src, n);
    return first < n ? first : n + FirstSetRow_C(src + n, width - n);
}

int LastSet(const RowSet& k, const uint8_t* src, int width) {
    const int n = Body(k, width);
    const int last = LastSetRow_C(src + n, width - n);
    return last >= 0 ? n + last : k.lastSet(src, n);
}

// Widens known bounds by the columns of a row outside them.
void Widen(const RowSet& k, const uint8_t* row, int width, Bounds& b) {
    if (b.left > 0) {
        b.left = std::min(b.left, FirstSet(k, row, b.left));
    }
    if (b.right < width - 1) {
        const int from = b.right + 1;
        const int last = LastSet(k, row + from, width - from);
        if (last >= 0) {
            b.right = from + last;
        }
    }
}

}  // namespace

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
    const RowSet& k = Rows();
    for (int y = 0; y < a.height; ++y) {
        AbsDiff(k, a.data + y * a.strideBytes, b.data + y * b.strideBytes,
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
    if (bytes == 0) {
        return;
    }
    if (band.lo > band.hi) {
        std::memset(dst, static_cast<uint8_t>(~band.inside), bytes);
        return;
    }
    // Rows of a packed plane are contiguous, so the plane runs as one long row.
    const RowSet& k = Rows();
    const int width = static_cast<int>(bytes);
    const int n = Body(k, width);
    k.band(src, dst, n, band.lo, band.hi, band.inside);
    BandRow_C(src + n, dst + n, width - n, band.lo, band.hi, band.inside);
}

bool ChangedRow(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, const Band& band) {
    if (band.lo > band.hi) {
        std::memset(dst, 0, static_cast<size_t>(width));
        return false;
    }
    const RowSet& k = Rows();
    const int n = Body(k, width);
    const bool body = k.changed(a, b, dst, n, band.lo);
    const bool tail = ChangedRow_C(a + n, b + n, dst + n, width - n, band.lo);
    return body || tail;
}

bool ErodeRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* dst,
              int width) {
    auto column = [&](int x) { return static_cast<uint8_t>(above[x] & row[x] & below[x]); };
    if (width <= 0) {
        return false;
    }
    if (width < 3) {
        ErodeRow_C(above, row, below, dst, width);
        return (dst[0] | dst[width - 1]) != 0;
    }
    const RowSet& k = Rows();
    const int inner = width - 2;
    const int n = Body(k, inner);
    dst[0] = column(0) & column(1);
    const bool body = k.erodeInterior(above + 1, row + 1, below + 1, dst + 1, n);
    bool tail = false;
    if (n < inner && n >= k.step) {
        // The rest as one more step ending at the row's end: the overlap is written again with
        // the same bytes, which costs far less than the reference on the rest.
        const int m = 1 + inner - k.step;
        tail = k.erodeInterior(above + m, row + m, below + m, dst + m, k.step);
    } else if (n < inner) {
        const int m = 1 + n;
        tail = ErodeInteriorRow_C(above + m, row + m, below + m, dst + m, inner - n);
    }
    dst[width - 1] = column(width - 2) & column(width - 1);
    return body || tail || dst[0] != 0 || dst[width - 1] != 0;
}

void ErodePlane(const uint8_t* src, uint8_t* dst, int width, int height) {
    if (PlaneBytes(width, height) == 0) {
        return;
    }
    auto row = [&](int y) { return src + static_cast<ptrdiff_t>(y) * width; };
    for (int y = 0; y < height; ++y) {
        // A missing row above or below is replaced by the row itself: the AND stays the same.
        ErodeRow(row(std::max(y - 1, 0)), row(y), row(std::min(y + 1, height - 1)),
                 dst + static_cast<ptrdiff_t>(y) * width, width);
    }
}

int32_t CountSetPlane(const uint8_t* src, size_t bytes) {
    return CountSet(Rows(), src, static_cast<int>(bytes));
}

void AddRowToBounds(const uint8_t* row, int width, int y, bool rowHasSet, Bounds& bounds) {
    if (!rowHasSet) {
        return;
    }
    const RowSet& k = Rows();
    if (!bounds.any) {
        bounds = Bounds{true, FirstSet(k, row, width), y, LastSet(k, row, width), y};
        return;
    }
    bounds.bottom = y;
    Widen(k, row, width, bounds);
}

Bounds FindBounds(const uint8_t* mask, int width, int height) {
    Bounds b{false, width, height, 0, 0};
    if (PlaneBytes(width, height) == 0) {
        return b;
    }
    const RowSet& k = Rows();
    auto row = [&](int y) { return mask + static_cast<ptrdiff_t>(y) * width; };
    // The first and the last row holding a set byte; between them only the columns outside
    // the box found so far can widen it.
    int top = 0;
    int first = width;
    while (top < height && (first = FirstSet(k, row(top), width)) == width) {
        ++top;
    }
    if (top == height) {
        return b;
    }
    b = Bounds{true, first, top, LastSet(k, row(top), width), top};
    for (int y = height - 1; y > top; --y) {
        const int last = LastSet(k, row(y), width);
        if (last >= 0) {
            b.bottom = y;
            b.right = std::max(b.right, last);
            b.left = std::min(b.left, FirstSet(k, row(y), width));
            break;
        }
    }
    for (int y = top + 1; y < b.bottom; ++y) {
        Widen(k, row(y), width, b);
    }
    return b;
}

}  // namespace vigimot
