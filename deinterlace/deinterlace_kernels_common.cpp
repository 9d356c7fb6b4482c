// The scalar references of the line kernels and the frame functions that dispatch to the
// fastest variant. The references are the definition: every other variant matches them byte
// for byte, for any byte count.
#include "deinterlace_kernels.h"

#include <climits>
#include <cstring>

#include "cpu_features.h"

namespace fieldmend {
namespace {

inline uint8_t Blend(uint8_t above, uint8_t line, uint8_t below) {
    return static_cast<uint8_t>((above + 2 * line + below + 2) >> 2);
}

using FilterFn = void (*)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int);
using FilterPairFn = void (*)(uint8_t*, ptrdiff_t, const uint8_t*, ptrdiff_t, int);
using CopyFn = void (*)(uint8_t*, const uint8_t*, int);

struct LineKernels {
    FilterFn filter;
    FilterFn filterSwap;
    FilterPairFn filterPair;
    FilterPairFn filterPairSwap;
    CopyFn copySwap;
};

// Asked per frame rather than cached, so a test's mask takes effect on the next call.
LineKernels PickLineKernels() {
    const unsigned features = simd::Features();
    if (features & simd::kAvx2) {
        return {FilterLine_AVX2, FilterLineSwap_AVX2, FilterLinePair_AVX2, FilterLinePairSwap_AVX2,
                CopyLineSwap_AVX2};
    }
    if (features & simd::kSse2) {
        return {FilterLine_SSE2, FilterLineSwap_SSE2, FilterLinePair_SSE2, FilterLinePairSwap_SSE2,
                CopyLineSwap_SSE2};
    }
    return {FilterLine_C, FilterLineSwap_C, FilterLinePair_C, FilterLinePairSwap_C, CopyLineSwap_C};
}

void CopyRow(const LineKernels& kernels, uint8_t* dst, const uint8_t* src, int rowBytes,
             bool swap) {
    if (swap) {
        kernels.copySwap(dst, src, rowBytes);
    } else {
        std::memcpy(dst, src, static_cast<size_t>(rowBytes));
    }
}

// The shape every plane shares: first and last rows copied, the rows between blended two at
// a time (four row loads for two rows instead of six; a third faster), an odd one left over
// alone. A single row is both first and last, so it is copied once.
void DeinterlaceRows(const LineKernels& kernels, const uint8_t* src, ptrdiff_t srcStride,
                     uint8_t* dst, ptrdiff_t dstStride, int rowBytes, int rows, bool swap) {
    const FilterPairFn filterPair = swap ? kernels.filterPairSwap : kernels.filterPair;
    CopyRow(kernels, dst, src, rowBytes, swap);
    int r = 1;
    for (; r + 1 < rows - 1; r += 2) {
        filterPair(dst + r * dstStride, dstStride, src + r * srcStride, srcStride, rowBytes);
    }
    if (r < rows - 1) {
        const uint8_t* line = src + r * srcStride;
        const FilterFn filter = swap ? kernels.filterSwap : kernels.filter;
        filter(dst + r * dstStride, line - srcStride, line, line + srcStride, rowBytes);
    }
    if (rows > 1) {
        CopyRow(kernels, dst + (rows - 1) * dstStride, src + (rows - 1) * srcStride, rowBytes,
                swap);
    }
}

void CopyPlane(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
               int rowBytes, int rows) {
    if (rowBytes <= 0 || rows <= 0) {
        return;
    }
    if (srcStride == rowBytes && dstStride == rowBytes) {
        std::memcpy(dst, src, static_cast<size_t>(rowBytes) * static_cast<size_t>(rows));
        return;
    }
    for (int r = 0; r < rows; ++r) {
        std::memcpy(dst + r * dstStride, src + r * srcStride, static_cast<size_t>(rowBytes));
    }
}

}  // namespace

void FilterLine_C(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                  int bytes) {
    for (int x = 0; x < bytes; ++x) {
        dst[x] = Blend(above[x], line[x], below[x]);
    }
}

// A trailing odd byte has no partner to change places with and is stored where it is.
void FilterLineSwap_C(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                      int bytes) {
    int x = 0;
    for (; x + 1 < bytes; x += 2) {
        dst[x] = Blend(above[x + 1], line[x + 1], below[x + 1]);
        dst[x + 1] = Blend(above[x], line[x], below[x]);
    }
    if (x < bytes) {
        dst[x] = Blend(above[x], line[x], below[x]);
    }
}

void CopyLineSwap_C(uint8_t* dst, const uint8_t* src, int bytes) {
    int x = 0;
    for (; x + 1 < bytes; x += 2) {
        dst[x] = src[x + 1];
        dst[x + 1] = src[x];
    }
    if (x < bytes) {
        dst[x] = src[x];
    }
}

void FilterLinePair_C(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                      int bytes) {
    FilterLine_C(dst, src - srcStride, src, src + srcStride, bytes);
    FilterLine_C(dst + dstStride, src, src + srcStride, src + 2 * srcStride, bytes);
}

void FilterLinePairSwap_C(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                          ptrdiff_t srcStride, int bytes) {
    FilterLineSwap_C(dst, src - srcStride, src, src + srcStride, bytes);
    FilterLineSwap_C(dst + dstStride, src, src + srcStride, src + 2 * srcStride, bytes);
}

void FilterLine(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                int bytes) {
    PickLineKernels().filter(dst, above, line, below, bytes);
}

// Arguments outside the contract (no buffer, no pixels, a row too long to count) leave the
// destination untouched rather than guess.
void DeinterlacePacked(PackedPlane src, PackedPlaneOut dst, int width, int height, bool swap) {
    if (!src.data || !dst.data || width <= 0 || height <= 0 || width > INT_MAX / 2) {
        return;
    }
    DeinterlaceRows(PickLineKernels(), src.data, src.stride, dst.data, dst.stride, 2 * width,
                    height, swap);
}

void DeinterlacePlanar(const PlanarFrame& src, const PlanarFrameOut& dst, int width, int height,
                       bool swap) {
    for (int p = 0; p < 3; ++p) {
        if (!src.plane[p] || !dst.plane[p]) {
            return;
        }
    }
    if (width <= 0 || height <= 0) {
        return;
    }
    DeinterlaceRows(PickLineKernels(), src.plane[0], src.stride[0], dst.plane[0], dst.stride[0],
                    width, height, false);
    const int from1 = swap ? 2 : 1;
    const int from2 = swap ? 1 : 2;
    CopyPlane(dst.plane[1], dst.stride[1], src.plane[from1], src.stride[from1], width / 2,
              height / 2);
    CopyPlane(dst.plane[2], dst.stride[2], src.plane[from2], src.stride[from2], width / 2,
              height / 2);
}

}  // namespace fieldmend
