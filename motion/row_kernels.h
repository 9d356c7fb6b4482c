// Row kernels of vigimot. Each kernel's variants stand side by side with one signature; the
// _C variant is the reference that every faster variant must match byte for byte.
#pragma once

#include <cstdint>

namespace vigimot {

// dst[i] = |a[i] - b[i]|
void AbsDiffRow_C(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width);

// dst[i] = inside when lo <= src[i] <= hi, else ~inside (inside is 0 or 255).
void BandRow_C(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside);

// dst[i] = AND of the 3x3 block around column i of the three rows, columns cut at the ends.
// At the top and bottom of a plane the caller passes the row itself for the missing row.
void ErodeRow_C(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* dst,
                int width);

// Number of non-zero bytes.
int CountSetRow_C(const uint8_t* src, int width);

// First and last column holding a non-zero byte; false (outputs untouched) when there is none.
bool SetSpanRow_C(const uint8_t* src, int width, int* first, int* last);

}  // namespace vigimot
