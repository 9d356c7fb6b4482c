// SSE2 row kernels: widths are multiples of 16. Only intrinsics and local helpers here, so
// nothing compiled for this instruction set can be shared with other files by the linker.
#include <emmintrin.h>

#include "row_kernels.h"

namespace vigimot {
namespace {

inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i AbsDiff(__m128i a, __m128i b) {
    return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

// Bit i set when byte i is non-zero.
inline unsigned SetBits(__m128i v) {
    const unsigned zero =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
    return ~zero & 0xFFFFu;
}

}  // namespace

void AbsDiffRow_SSE2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width) {
    for (int i = 0; i < width; i += 16) {
        Store(dst + i, AbsDiff(Load(a + i), Load(b + i)));
    }
}

void BandRow_SSE2(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside) {
    // v is inside when v - lo, wrapped to a byte, is at most hi - lo.
    const __m128i base = _mm_set1_epi8(static_cast<char>(lo));
    const __m128i span = _mm_set1_epi8(static_cast<char>(hi - lo));
    const __m128i outside = _mm_set1_epi8(static_cast<char>(~inside));
    for (int i = 0; i < width; i += 16) {
        const __m128i t = _mm_sub_epi8(Load(src + i), base);
        const __m128i in = _mm_cmpeq_epi8(_mm_min_epu8(t, span), t);
        Store(dst + i, _mm_xor_si128(in, outside));
    }
}

bool ChangedRow_SSE2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo) {
    const __m128i level = _mm_set1_epi8(static_cast<char>(lo));
    __m128i any = _mm_setzero_si128();
    for (int i = 0; i < width; i += 16) {
        const __m128i d = AbsDiff(Load(a + i), Load(b + i));
        const __m128i changed = _mm_cmpeq_epi8(_mm_max_epu8(d, level), d);
        any = _mm_or_si128(any, changed);
        Store(dst + i, changed);
    }
    return _mm_movemask_epi8(any) != 0;
}

bool ErodeInteriorRow_SSE2(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                           uint8_t* dst, int width) {
    auto column = [&](int x) {
        return _mm_and_si128(_mm_and_si128(Load(above + x), Load(row + x)), Load(below + x));
    };
    // Each column triple is loaded once; its neighbours come from the vectors beside it. Only
    // the first and the last vector load their outer neighbour, one byte past the body.
    if (width <= 0) {
        return false;
    }
    __m128i any = _mm_setzero_si128();
    __m128i left = column(-1);
    __m128i middle = column(0);
    for (int i = 0; i < width; i += 16) {
        const bool last = i + 16 >= width;
        const __m128i next = last ? middle : column(i + 16);
        const __m128i right =
            last ? column(i + 1)
                 : _mm_or_si128(_mm_srli_si128(middle, 1), _mm_slli_si128(next, 15));
        const __m128i v = _mm_and_si128(_mm_and_si128(left, middle), right);
        any = _mm_or_si128(any, v);
        Store(dst + i, v);
        left = _mm_or_si128(_mm_srli_si128(middle, 15), _mm_slli_si128(next, 1));
        middle = next;
    }
    return SetBits(any) != 0;
}

int CountSetRow_SSE2(const uint8_t* src, int width) {
    // min(v, 1) is 1 for a set byte; the sums of absolute differences add them up in 64 bits.
    const __m128i one = _mm_set1_epi8(1);
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero;
    for (int i = 0; i < width; i += 16) {
        sum = _mm_add_epi64(sum, _mm_sad_epu8(_mm_min_epu8(Load(src + i), one), zero));
    }
    sum = _mm_add_epi64(sum, _mm_unpackhi_epi64(sum, sum));
    return static_cast<int>(_mm_cvtsi128_si32(sum));
}

int FirstSetRow_SSE2(const uint8_t* src, int width) {
    for (int i = 0; i < width; i += 16) {
        const unsigned bits = SetBits(Load(src + i));
        if (bits != 0) {
            return i + __builtin_ctz(bits);
        }
    }
    return width;
}

int LastSetRow_SSE2(const uint8_t* src, int width) {
    for (int i = width - 16; i >= 0; i -= 16) {
        const unsigned bits = SetBits(Load(src + i));
        if (bits != 0) {
            return i + 31 - __builtin_clz(bits);
        }
    }
    return -1;
}

}  // namespace vigimot
