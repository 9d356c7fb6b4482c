// Row kernels of vigimot. Each kernel's variants stand side by side with one signature; the
// _C variant is the reference that every faster variant must match byte for byte.
//
// The SSE2 and AVX2 variants take a width that is a multiple of 16 and 32 bytes; the plane
// operations (planes.cpp) run the rest of a row on the _C variant.
#pragma once

#include <cstdint>

namespace vigimot {

// dst[i] = |a[i] - b[i]|
void AbsDiffRow_C(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width);
void AbsDiffRow_SSE2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width);
void AbsDiffRow_AVX2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width);

// dst[i] = inside when lo <= src[i] <= hi, else ~inside (inside is 0 or 255). The SSE2 and
// AVX2 variants need a band that is not empty: 0 <= lo <= hi <= 255.
void BandRow_C(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside);
void BandRow_SSE2(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside);
void BandRow_AVX2(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside);

// Difference and threshold in one: dst[i] = 255 when |a[i] - b[i]| >= lo (0..255), else 0.
// True when any byte was set.
bool ChangedRow_C(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo);
bool ChangedRow_SSE2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo);
bool ChangedRow_AVX2(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo);

// dst[i] = AND of the 3x3 block around column i of the three rows, columns cut at the ends.
// At the top and bottom of a plane the caller passes the row itself for the missing row.
void ErodeRow_C(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* dst,
                int width);

// The same away from the ends of a row: dst[i] = AND of columns i - 1 .. i + 1 of the three
// rows, so one byte before and one after each row are read. True when any byte of dst is set.
bool ErodeInteriorRow_C(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                        uint8_t* dst, int width);
bool ErodeInteriorRow_SSE2(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                           uint8_t* dst, int width);
bool ErodeInteriorRow_AVX2(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                           uint8_t* dst, int width);

// Number of non-zero bytes.
int CountSetRow_C(const uint8_t* src, int width);
int CountSetRow_SSE2(const uint8_t* src, int width);
int CountSetRow_AVX2(const uint8_t* src, int width);

// First and last column holding a non-zero byte; false (outputs untouched) when there is none.
bool SetSpanRow_C(const uint8_t* src, int width, int* first, int* last);

// Index of the first non-zero byte, or width when there is none.
int FirstSetRow_C(const uint8_t* src, int width);
int FirstSetRow_SSE2(const uint8_t* src, int width);
int FirstSetRow_AVX2(const uint8_t* src, int width);

// Index of the last non-zero byte, or -1 when there is none.
int LastSetRow_C(const uint8_t* src, int width);
int LastSetRow_SSE2(const uint8_t* src, int width);
int LastSetRow_AVX2(const uint8_t* src, int width);

}  // namespace vigimot
