#include "row_kernels.h"

#include <cstdlib>

namespace vigimot {

void AbsDiffRow_C(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width) {
    for (int i = 0; i < width; ++i) {
        dst[i] = static_cast<uint8_t>(std::abs(a[i] - b[i]));
    }
}

void BandRow_C(const uint8_t* src, uint8_t* dst, int width, int lo, int hi, uint8_t inside) {
    const uint8_t outside = static_cast<uint8_t>(~inside);
    for (int i = 0; i < width; ++i) {
        dst[i] = (src[i] >= lo && src[i] <= hi) ? inside : outside;
    }
}

void ErodeRow_C(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* dst,
                int width) {
    auto column = [&](int x) { return static_cast<uint8_t>(above[x] & row[x] & below[x]); };
    if (width == 1) {
        dst[0] = column(0);
        return;
    }
    dst[0] = column(0) & column(1);
    for (int x = 1; x < width - 1; ++x) {
        dst[x] = column(x - 1) & column(x) & column(x + 1);
    }
    dst[width - 1] = column(width - 2) & column(width - 1);
}

int CountSetRow_C(const uint8_t* src, int width) {
    int count = 0;
    for (int i = 0; i < width; ++i) {
        count += src[i] != 0;
    }
    return count;
}

bool SetSpanRow_C(const uint8_t* src, int width, int* first, int* last) {
    int lo = 0;
    while (lo < width && src[lo] == 0) {
        ++lo;
    }
    if (lo == width) {
        return false;
    }
    int hi = width - 1;
    while (src[hi] == 0) {
        --hi;
    }
    *first = lo;
    *last = hi;
    return true;
}

}  // namespace vigimot
