// AVX2 rows of the picture conversions. Only intrinsics and local helpers here, so nothing
// compiled for this instruction set can be shared with other files by the linker.
#include <immintrin.h>

#include "pixel_rows.h"

namespace ovistra {
namespace {

inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Two 16-byte loads, `lo` into the low lane and `hi` into the high one.
inline __m256i Load2(const uint8_t* lo, const uint8_t* hi) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

inline void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// 32 shuffle indices; -128 writes a zero byte.
struct ByteTable {
    int8_t index[32];
};

inline __m256i Table(const ByteTable& t) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.index));
}

// Gathers channel `channel` (0 blue, 1 green, 2 red) of the pixels that fall into bytes
// 16 * unit .. 16 * unit + 15 of a 24-bit run of 16 pixels, from a lane of 16 channel bytes.
constexpr ByteTable InterleaveTable(int unit, int channel) {
    ByteTable t{};
    for (int lane = 0; lane < 2; ++lane) {
        for (int j = 0; j < 16; ++j) {
            const int p = 16 * unit + j;
            t.index[16 * lane + j] = static_cast<int8_t>(p % 3 == channel ? p / 3 : -128);
        }
    }
    return t;
}

// Each lane holds 16 pixels as blue, green and red bytes; writes them as 3 * 16 bytes in
// pixel order, the low lane's pixels first.
inline void StoreBgr(uint8_t* dst, __m256i blue, __m256i green, __m256i red) {
    static constexpr ByteTable kTables[3][3] = {
        {InterleaveTable(0, 0), InterleaveTable(0, 1), InterleaveTable(0, 2)},
        {InterleaveTable(1, 0), InterleaveTable(1, 1), InterleaveTable(1, 2)},
        {InterleaveTable(2, 0), InterleaveTable(2, 1), InterleaveTable(2, 2)},
    };
    __m256i unit[3];
    for (int u = 0; u < 3; ++u) {
        unit[u] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(blue, Table(kTables[u][0])),
                                                  _mm256_shuffle_epi8(green, Table(kTables[u][1]))),
                                  _mm256_shuffle_epi8(red, Table(kTables[u][2])));
    }
    Store(dst, _mm256_permute2x128_si256(unit[0], unit[1], 0x20));
    Store(dst + 32, _mm256_permute2x128_si256(unit[2], unit[0], 0x30));
    Store(dst + 64, _mm256_permute2x128_si256(unit[1], unit[2], 0x31));
}

// Blue, green and red of 16 YUY2 pixels as 16-bit values, one pixel per lane, before clamping.
// With C = Y - 16, D = U - 128, E = V - 128 the constants fold in as
//   blue  = (74C + 129D + 32) >> 6 = ((74Y + U - 17664) >> 6) + 2U   (128D moved past the shift)
//   green = (74C - 25D - 52E + 32) >> 6 = (74Y - 25U - 52V + 8704) >> 6
//   red   = (74C + 102E + 32) >> 6 = (74Y + 102V - 14208) >> 6
// Every result lies within 16 bits; wrapping sums before it do not change it.
inline void Yuy2Channels(__m256i yuy2, __m256i& blue, __m256i& green, __m256i& red) {
    const __m256i luma = _mm256_maddubs_epi16(yuy2, _mm256_set1_epi16(74));
    // Each pixel's lane gets its group's U and V bytes.
    const __m256i chroma = _mm256_shuffle_epi8(
        yuy2, _mm256_setr_epi8(1, 3, 1, 3, 5, 7, 5, 7, 9, 11, 9, 11, 13, 15, 13, 15, 1, 3, 1, 3, 5,
                               7, 5, 7, 9, 11, 9, 11, 13, 15, 13, 15));
    const __m256i u = _mm256_maddubs_epi16(chroma, _mm256_set1_epi16(1));
    const __m256i greenChroma =
        _mm256_maddubs_epi16(chroma, _mm256_set1_epi16(static_cast<int16_t>((-52 << 8) | 231)));
    const __m256i redChroma = _mm256_maddubs_epi16(chroma, _mm256_set1_epi16(102 << 8));
    blue = _mm256_add_epi16(
        _mm256_srai_epi16(_mm256_add_epi16(luma, _mm256_add_epi16(u, _mm256_set1_epi16(-17664))),
                          6),
        _mm256_add_epi16(u, u));
    green = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(luma, _mm256_set1_epi16(8704)), greenChroma), 6);
    red = _mm256_srai_epi16(
        _mm256_add_epi16(_mm256_add_epi16(luma, _mm256_set1_epi16(-14208)), redChroma), 6);
}

// Saturates two 16-pixel halves to bytes, pixels in order across the lanes.
inline __m256i PackInOrder(__m256i first, __m256i second) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
}

// Blue, green and red bytes of pixels in the same places -> (77R + 151G + 28B) >> 8 as 16-bit
// values: the pairs (blue, green) and (red, green) meet weights (28, 100) and (77, 51), products
// of at most 32640 each whose sum stays below 2^16.
inline __m256i GreyOfBytePairs(__m256i blueGreen, __m256i redGreen) {
    const __m256i a = _mm256_maddubs_epi16(blueGreen, _mm256_set1_epi16((100 << 8) | 28));
    const __m256i b = _mm256_maddubs_epi16(redGreen, _mm256_set1_epi16((51 << 8) | 77));
    return _mm256_srli_epi16(_mm256_add_epi16(a, b), 8);
}

}  // namespace

void Yuy2ToRgb24Row_AVX2(const uint8_t* src, uint8_t* dst, int groups) {
    for (int g = 0; g < groups; g += 16, src += 64, dst += 96) {
        // Pixels 0-7 | 16-23 and 8-15 | 24-31, so that packing puts all 32 in order.
        __m256i b0, g0, r0, b1, g1, r1;
        Yuy2Channels(Load2(src, src + 32), b0, g0, r0);
        Yuy2Channels(Load2(src + 16, src + 48), b1, g1, r1);
        StoreBgr(dst, _mm256_packus_epi16(b0, b1), _mm256_packus_epi16(g0, g1),
                 _mm256_packus_epi16(r0, r1));
    }
}

void BgrToGreyRow_AVX2(const uint8_t* bgr, uint8_t* grey, int width) {
    // Each pixel's four bytes blue, green, red, green meet weights 28, 100 | 77, 51: two
    // products of at most 32640 each that add up to 77R + 151G + 28B, below 2^16.
    const __m256i weights = _mm256_set1_epi32(static_cast<int32_t>(0x33'4D'64'1Cu));
    // The lanes of the first load start at pixels 0 and 8, those of the second 8 bytes later,
    // which puts pixels 4 and 12 at byte 4: each shuffle takes four pixels from its lanes.
    const __m256i first = _mm256_setr_epi8(0, 1, 2, 1, 3, 4, 5, 4, 6, 7, 8, 7, 9, 10, 11, 10, 0, 1,
                                           2, 1, 3, 4, 5, 4, 6, 7, 8, 7, 9, 10, 11, 10);
    const __m256i second = _mm256_setr_epi8(4, 5, 6, 5, 7, 8, 9, 8, 10, 11, 12, 11, 13, 14, 15, 14,
                                            4, 5, 6, 5, 7, 8, 9, 8, 10, 11, 12, 11, 13, 14, 15, 14);
    auto sixteen = [&](const uint8_t* p) {
        // Pixels 0-3 | 8-11 and 4-7 | 12-15; every load stays inside the 48 bytes.
        const __m256i a =
            _mm256_maddubs_epi16(_mm256_shuffle_epi8(Load2(p, p + 24), first), weights);
        const __m256i b =
            _mm256_maddubs_epi16(_mm256_shuffle_epi8(Load2(p + 8, p + 32), second), weights);
        return _mm256_srli_epi16(_mm256_hadd_epi16(a, b), 8);
    };
    for (int x = 0; x < width; x += 32, bgr += 96, grey += 32) {
        Store(grey, PackInOrder(sixteen(bgr), sixteen(bgr + 48)));
    }
}

void Yuy2ToGreyRow_AVX2(const uint8_t* yuy2, uint8_t* grey, int groups) {
    for (int g = 0; g < groups; g += 16, yuy2 += 64, grey += 32) {
        // Pixels 0-7 | 16-23 and 8-15 | 24-31, so that packing puts all 32 in order.
        __m256i b0, g0, r0, b1, g1, r1;
        Yuy2Channels(Load2(yuy2, yuy2 + 32), b0, g0, r0);
        Yuy2Channels(Load2(yuy2 + 16, yuy2 + 48), b1, g1, r1);
        // Saturating to bytes is the clamp of the 24-bit conversion.
        const __m256i blue = _mm256_packus_epi16(b0, b1);
        const __m256i green = _mm256_packus_epi16(g0, g1);
        const __m256i red = _mm256_packus_epi16(r0, r1);
        const __m256i low =
            GreyOfBytePairs(_mm256_unpacklo_epi8(blue, green), _mm256_unpacklo_epi8(red, green));
        const __m256i high =
            GreyOfBytePairs(_mm256_unpackhi_epi8(blue, green), _mm256_unpackhi_epi8(red, green));
        Store(grey, _mm256_packus_epi16(low, high));
    }
}

void HandOverRow_AVX2(const uint8_t* src, uint8_t* dst, int units) {
    // A second load 28 bytes on puts units 4-7 in the odd dwords between units 0-3 of the first:
    // u0 u4 u1 u5 u2 u6 u3 u7 after the blend, so one cross-lane permute orders all eight.
    const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    for (int u = 0; u < units; u += 8, src += 64, dst += 32) {
        const __m256i mixed = _mm256_blend_epi32(Load(src), Load(src + 28), 0xAA);
        Store(dst, _mm256_permutevar8x32_epi32(mixed, order));
    }
}

}  // namespace ovistra
