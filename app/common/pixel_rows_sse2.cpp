// SSE2 rows of the picture conversions. SSE2 has no byte shuffle, so pixels are packed and
// unpacked with shifts and interleaves. Only intrinsics and local helpers here, so nothing
// compiled for this instruction set can be shared with other files by the linker.
#include <emmintrin.h>

#include "pixel_rows.h"

namespace ovistra {
namespace {

inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Four pixels as blue, green, red, zero dwords -> their 12 bytes at the bottom, zeros above.
inline __m128i PackPixels(__m128i bgr0) {
    // Within each 64-bit half the second pixel moves down one byte next to the first.
    const __m128i first = _mm_and_si128(bgr0, _mm_set1_epi64x(0x0000000000FFFFFF));
    const __m128i second =
        _mm_and_si128(_mm_srli_epi64(bgr0, 8), _mm_set1_epi64x(0x0000FFFFFF000000));
    const __m128i halves = _mm_or_si128(first, second);
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

// Writes 16 pixels given as 16 blue, 16 green and 16 red bytes as 48 bytes.
inline void StoreBgr(uint8_t* dst, __m128i blue, __m128i green, __m128i red) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgLow = _mm_unpacklo_epi8(blue, green);
    const __m128i bgHigh = _mm_unpackhi_epi8(blue, green);
    const __m128i rLow = _mm_unpacklo_epi8(red, zero);
    const __m128i rHigh = _mm_unpackhi_epi8(red, zero);
    const __m128i p0 = PackPixels(_mm_unpacklo_epi16(bgLow, rLow));
    const __m128i p1 = PackPixels(_mm_unpackhi_epi16(bgLow, rLow));
    const __m128i p2 = PackPixels(_mm_unpacklo_epi16(bgHigh, rHigh));
    const __m128i p3 = PackPixels(_mm_unpackhi_epi16(bgHigh, rHigh));
    Store(dst, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    Store(dst + 16, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    Store(dst + 32, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
}

// Blue, green and red of 8 YUY2 pixels as 16-bit values, one pixel per lane, before clamping.
// With C = Y - 16, D = U - 128, E = V - 128 the constants fold in as
//   blue  = (74C + 129D + 32) >> 6 = ((74Y + U - 17664) >> 6) + 2U   (128D moved past the shift)
//   green = (74C - 25D - 52E + 32) >> 6 = (74Y - 25U - 52V + 8704) >> 6
//   red   = (74C + 102E + 32) >> 6 = (74Y + 102V - 14208) >> 6
// Every result lies within 16 bits; wrapping sums before it do not change it.
inline void Yuy2Channels(__m128i yuy2, __m128i& blue, __m128i& green, __m128i& red) {
    const __m128i luma =
        _mm_mullo_epi16(_mm_and_si128(yuy2, _mm_set1_epi16(0x00FF)), _mm_set1_epi16(74));
    const __m128i chroma = _mm_srli_epi16(yuy2, 8);  // U, V, U, V, ... one per group each
    const __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xA0), 0xA0);
    const __m128i v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xF5), 0xF5);
    const __m128i greenChroma = _mm_add_epi16(_mm_mullo_epi16(u, _mm_set1_epi16(-25)),
                                              _mm_mullo_epi16(v, _mm_set1_epi16(-52)));
    blue = _mm_add_epi16(
        _mm_srai_epi16(_mm_add_epi16(luma, _mm_add_epi16(u, _mm_set1_epi16(-17664))), 6),
        _mm_add_epi16(u, u));
    green =
        _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(luma, _mm_set1_epi16(8704)), greenChroma), 6);
    red = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(luma, _mm_set1_epi16(-14208)),
                                       _mm_mullo_epi16(v, _mm_set1_epi16(102))),
                         6);
}

// Splits 48 bytes of 16 pixels into their blue, green and red bytes: four rounds of
// interleaving the halves of the three registers bring every third byte together.
inline void SplitBgr(const uint8_t* p, __m128i& blue, __m128i& green, __m128i& red) {
    __m128i a = Load(p);
    __m128i b = Load(p + 16);
    __m128i c = Load(p + 32);
    for (int round = 0; round < 4; ++round) {
        const __m128i na = _mm_unpacklo_epi8(a, _mm_srli_si128(b, 8));
        const __m128i nb = _mm_unpacklo_epi8(_mm_srli_si128(a, 8), c);
        const __m128i nc = _mm_unpacklo_epi8(b, _mm_srli_si128(c, 8));
        a = na;
        b = nb;
        c = nc;
    }
    blue = a;
    green = b;
    red = c;
}

// (77R + 151G + 28B) >> 8 of 8 pixels whose bytes sit in the low halves of 16-bit lanes. The
// sum stays below 2^16, so unsigned 16-bit lanes hold it exactly.
inline __m128i Grey8(__m128i blue, __m128i green, __m128i red) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(red, _mm_set1_epi16(77)),
                                                    _mm_mullo_epi16(green, _mm_set1_epi16(151))),
                                      _mm_mullo_epi16(blue, _mm_set1_epi16(28)));
    return _mm_srli_epi16(sum, 8);
}

// The same for 8 pixels given as 16-bit values before clamping.
inline __m128i GreyOfChannels(__m128i blue, __m128i green, __m128i red) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(255);
    auto clamp = [&](__m128i v) { return _mm_min_epi16(_mm_max_epi16(v, zero), top); };
    return Grey8(clamp(blue), clamp(green), clamp(red));
}

}  // namespace

void Yuy2ToRgb24Row_SSE2(const uint8_t* src, uint8_t* dst, int groups) {
    for (int g = 0; g < groups; g += 8, src += 32, dst += 48) {
        __m128i b0, g0, r0, b1, g1, r1;
        Yuy2Channels(Load(src), b0, g0, r0);
        Yuy2Channels(Load(src + 16), b1, g1, r1);
        StoreBgr(dst, _mm_packus_epi16(b0, b1), _mm_packus_epi16(g0, g1), _mm_packus_epi16(r0, r1));
    }
}

void BgrToGreyRow_SSE2(const uint8_t* bgr, uint8_t* grey, int width) {
    const __m128i zero = _mm_setzero_si128();
    for (int x = 0; x < width; x += 16, bgr += 48, grey += 16) {
        __m128i blue, green, red;
        SplitBgr(bgr, blue, green, red);
        const __m128i low = Grey8(_mm_unpacklo_epi8(blue, zero), _mm_unpacklo_epi8(green, zero),
                                  _mm_unpacklo_epi8(red, zero));
        const __m128i high = Grey8(_mm_unpackhi_epi8(blue, zero), _mm_unpackhi_epi8(green, zero),
                                   _mm_unpackhi_epi8(red, zero));
        Store(grey, _mm_packus_epi16(low, high));
    }
}

void Yuy2ToGreyRow_SSE2(const uint8_t* yuy2, uint8_t* grey, int groups) {
    for (int g = 0; g < groups; g += 8, yuy2 += 32, grey += 16) {
        __m128i b0, g0, r0, b1, g1, r1;
        Yuy2Channels(Load(yuy2), b0, g0, r0);
        Yuy2Channels(Load(yuy2 + 16), b1, g1, r1);
        Store(grey, _mm_packus_epi16(GreyOfChannels(b0, g0, r0), GreyOfChannels(b1, g1, r1)));
    }
}

void HandOverRow_SSE2(const uint8_t* src, uint8_t* dst, int units) {
    for (int u = 0; u < units; u += 4, src += 32, dst += 16) {
        // The float shuffle is the one SSE2 instruction that picks dwords from two registers;
        // it moves the bits untouched.
        const __m128 a = _mm_castsi128_ps(Load(src));
        const __m128 b = _mm_castsi128_ps(Load(src + 16));
        Store(dst, _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
    }
}

}  // namespace ovistra
