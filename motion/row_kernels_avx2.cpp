// AVX2 row kernels: widths are multiples of 32. Only intrinsics and local helpers here, so
// nothing compiled for this instruction set can be shared with other files by the linker.
#include <immintrin.h>

#include "row_kernels.h"

namespace vigimot {
namespace {

inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

inline __m256i AbsDiff(__m256i a, __m256i b) {
    return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}

// Bit i set when byte i is non-zero.
inline unsigned SetBits(__m256i v) {
    return ~static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_setzero_si256())));
}

}  // namespace

void AbsDiffRow_AVX2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width) {
    for (int i = 0; i < width; i += 32) {
        Store(dst + i, AbsDiff(Load(a + i), Load(b + i)));
    }
}

void BandRow_AVX2(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside) {
    // v is inside when v - lo, wrapped to a byte, is at most hi - lo.
    const __m256i base = _mm256_set1_epi8(static_cast<char>(lo));
    const __m256i span = _mm256_set1_epi8(static_cast<char>(hi - lo));
    const __m256i outside = _mm256_set1_epi8(static_cast<char>(~inside));
    for (int i = 0; i < width; i += 32) {
        const __m256i t = _mm256_sub_epi8(Load(src + i), base);
        const __m256i in = _mm256_cmpeq_epi8(_mm256_min_epu8(t, span), t);
        Store(dst + i, _mm256_xor_si256(in, outside));
    }
}

bool ChangedRow_AVX2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo) {
    const __m256i level = _mm256_set1_epi8(static_cast<char>(lo));
    __m256i any = _mm256_setzero_si256();
    for (int i = 0; i < width; i += 32) {
        const __m256i d = AbsDiff(Load(a + i), Load(b + i));
        const __m256i changed = _mm256_cmpeq_epi8(_mm256_max_epu8(d, level), d);
        any = _mm256_or_si256(any, changed);
        Store(dst + i, changed);
    }
    return !_mm256_testz_si256(any, any);
}

bool ErodeInteriorRow_AVX2(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                           uint8_t* dst, int width) {
    auto column = [&](int x) {
        return _mm256_and_si256(_mm256_and_si256(Load(above + x), Load(row + x)), Load(below + x));
    };
    // Each column triple is loaded once; its neighbours come from the vectors beside it. Only
    // the first and the last vector load their outer neighbour, one byte past the body.
    if (width <= 0) {
        return false;
    }
    __m256i any = _mm256_setzero_si256();
    __m256i left = column(-1);
    __m256i middle = column(0);
    for (int i = 0; i < width; i += 32) {
        const bool last = i + 32 >= width;
        const __m256i next = last ? middle : column(i + 32);
        // Byte k of right is column i + 1 + k: middle shifted down one, next's first byte on top.
        const __m256i right =
            last ? column(i + 1)
                 : _mm256_alignr_epi8(_mm256_permute2x128_si256(middle, next, 0x21), middle, 1);
        const __m256i v = _mm256_and_si256(_mm256_and_si256(left, middle), right);
        any = _mm256_or_si256(any, v);
        Store(dst + i, v);
        // Byte k of the next left is column i + 31 + k.
        left = _mm256_alignr_epi8(next, _mm256_permute2x128_si256(middle, next, 0x21), 15);
        middle = next;
    }
    return !_mm256_testz_si256(any, any);
}

int CountSetRow_AVX2(const uint8_t* src, int width) {
    // min(v, 1) is 1 for a set byte; the sums of absolute differences add them up in 64 bits.
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i zero = _mm256_setzero_si256();
    __m256i sum = zero;
    for (int i = 0; i < width; i += 32) {
        sum = _mm256_add_epi64(sum, _mm256_sad_epu8(_mm256_min_epu8(Load(src + i), one), zero));
    }
    __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi64(half, _mm_unpackhi_epi64(half, half));
    return static_cast<int>(_mm_cvtsi128_si32(half));
}

int FirstSetRow_AVX2(const uint8_t* src, int width) {
    for (int i = 0; i < width; i += 32) {
        const unsigned bits = SetBits(Load(src + i));
        if (bits != 0) {
            return i + __builtin_ctz(bits);
        }
    }
    return width;
}

int LastSetRow_AVX2(const uint8_t* src, int width) {
    for (int i = width - 32; i >= 0; i -= 32) {
        const unsigned bits = SetBits(Load(src + i));
        if (bits != 0) {
            return i + 31 - __builtin_clz(bits);
        }
    }
    return -1;
}

}  // namespace vigimot
