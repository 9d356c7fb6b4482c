// SSE2 variants of the line kernels: 16 bytes a step, then one 8-byte step, then the scalar
// reference for what is left, so nothing is read or written past `bytes`.
#include <emmintrin.h>

#include <cstddef>

#include "deinterlace_kernels.h"

namespace fieldmend {
namespace {

// (a + 2b + c + 2) >> 2 == avg_round(avg_floor(a, c), b): halving a + c first drops a bit the
// final shift would drop anyway, so the blend stays in bytes. Tests check every byte triple.
inline __m128i Blend(__m128i a, __m128i b, __m128i c) {
    const __m128i lowBit = _mm_and_si128(_mm_xor_si128(a, c), _mm_set1_epi8(1));
    const __m128i floorAc = _mm_sub_epi8(_mm_avg_epu8(a, c), lowBit);
    return _mm_avg_epu8(floorAc, b);
}

inline __m128i SwapPairs(__m128i v) {
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

inline void Store8(uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

template <bool kSwap>
ptrdiff_t FilterVectors(uint8_t* dst, const uint8_t* above, const uint8_t* line,
                        const uint8_t* below, ptrdiff_t bytes) {
    ptrdiff_t x = 0;
    for (; x + 16 <= bytes; x += 16) {
        __m128i v = Blend(Load16(above + x), Load16(line + x), Load16(below + x));
        Store16(dst + x, kSwap ? SwapPairs(v) : v);
    }
    if (x + 8 <= bytes) {
        __m128i v = Blend(Load8(above + x), Load8(line + x), Load8(below + x));
        Store8(dst + x, kSwap ? SwapPairs(v) : v);
        x += 8;
    }
    return x;
}

template <bool kSwap>
ptrdiff_t FilterPairVectors(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                            ptrdiff_t srcStride, ptrdiff_t bytes) {
    const uint8_t* r0 = src - srcStride;
    const uint8_t* r1 = src;
    const uint8_t* r2 = src + srcStride;
    const uint8_t* r3 = src + 2 * srcStride;
    uint8_t* d1 = dst + dstStride;
    ptrdiff_t x = 0;
    for (; x + 16 <= bytes; x += 16) {
        const __m128i a = Load16(r0 + x), b = Load16(r1 + x), c = Load16(r2 + x);
        const __m128i d = Load16(r3 + x);
        const __m128i v0 = Blend(a, b, c), v1 = Blend(b, c, d);
        Store16(dst + x, kSwap ? SwapPairs(v0) : v0);
        Store16(d1 + x, kSwap ? SwapPairs(v1) : v1);
    }
    if (x + 8 <= bytes) {
        const __m128i a = Load8(r0 + x), b = Load8(r1 + x), c = Load8(r2 + x);
        const __m128i d = Load8(r3 + x);
        const __m128i v0 = Blend(a, b, c), v1 = Blend(b, c, d);
        Store8(dst + x, kSwap ? SwapPairs(v0) : v0);
        Store8(d1 + x, kSwap ? SwapPairs(v1) : v1);
        x += 8;
    }
    return x;
}

}  // namespace

void FilterLine_SSE2(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                     int bytes) {
    const ptrdiff_t done = FilterVectors<false>(dst, above, line, below, bytes);
    FilterLine_C(dst + done, above + done, line + done, below + done,
                 static_cast<int>(bytes - done));
}

void FilterLineSwap_SSE2(uint8_t* dst, const uint8_t* above, const uint8_t* line,
                         const uint8_t* below, int bytes) {
    const ptrdiff_t done = FilterVectors<true>(dst, above, line, below, bytes);
    FilterLineSwap_C(dst + done, above + done, line + done, below + done,
                     static_cast<int>(bytes - done));
}

void CopyLineSwap_SSE2(uint8_t* dst, const uint8_t* src, int bytes) {
    ptrdiff_t x = 0;
    for (; x + 16 <= bytes; x += 16) {
        Store16(dst + x, SwapPairs(Load16(src + x)));
    }
    if (x + 8 <= bytes) {
        Store8(dst + x, SwapPairs(Load8(src + x)));
        x += 8;
    }
    CopyLineSwap_C(dst + x, src + x, static_cast<int>(bytes - x));
}

void FilterLinePair_SSE2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                         int bytes) {
    const ptrdiff_t done = FilterPairVectors<false>(dst, dstStride, src, srcStride, bytes);
    FilterLinePair_C(dst + done, dstStride, src + done, srcStride, static_cast<int>(bytes - done));
}

void FilterLinePairSwap_SSE2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                             ptrdiff_t srcStride, int bytes) {
    const ptrdiff_t done = FilterPairVectors<true>(dst, dstStride, src, srcStride, bytes);
    FilterLinePairSwap_C(dst + done, dstStride, src + done, srcStride,
                         static_cast<int>(bytes - done));
}

}  // namespace fieldmend
