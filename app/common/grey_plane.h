// The grey plane the motion detector compares: from a 24-bit picture (blue, green, red bytes)
// to one byte per pixel, grey = (77 R + 151 G + 28 B) / 256, truncated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ovistra {

// Which picture line the first source row holds.
enum class RowOrder {
    kTopDown,
    kBottomUp,  // as the recorder and the detector store pictures: the first row is the bottom
};

// Writes the grey plane of a width x height picture, grey row 0 being the top line whatever the
// source's order. Source rows are bgrStrideBytes apart in memory, grey rows greyStrideBytes.
// The two planes must not overlap.
void MakeGreyPlane(uint8_t* grey, ptrdiff_t greyStrideBytes, const uint8_t* bgr,
                   ptrdiff_t bgrStrideBytes, int width, int height, RowOrder order);

// One row: the reference every faster variant matches byte for byte.
void BgrToGreyRow_C(const uint8_t* bgr, uint8_t* grey, int width);

// The grey plane straight from YUY2, byte for byte what Yuy2ToRgb24 and then MakeGreyPlane give,
// in one pass: `lines` lines of `groups` Y0 U Y1 V groups, yuy2StrideBytes apart, into grey rows
// greyStrideBytes apart in the same order. The two planes must not overlap.
void Yuy2ToGreyPlane(uint8_t* grey, ptrdiff_t greyStrideBytes, const uint8_t* yuy2,
                     ptrdiff_t yuy2StrideBytes, int groups, int lines);

// One row of it: the reference, the two conversions one after the other.
void Yuy2ToGreyRow_C(const uint8_t* yuy2, uint8_t* grey, int groups);

}  // namespace ovistra
