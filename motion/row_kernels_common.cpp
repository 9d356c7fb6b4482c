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

bool ChangedRow_C(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, int lo) {
    uint8_t any = 0;
    for (int i = 0; i < width; ++i) {
        dst[i] = std::abs(a[i] - b[i]) >= lo ? 255 : 0;
        any |= dst[i];
    }
    return any != 0;
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

bool ErodeInteriorRow_C(const uint8_t* above, const uint8_t* row, const uint8_t* below,
                        uint8_t* dst, int width) {
    auto column = [&](int x) { return static_cast<uint8_t>(above[x] & row[x] & below[x]); };
    uint8_t any = 0;
    for (int x = 0; x < width; ++x) {
        dst[x] = column(x - 1) & column(x) & column(x + 1);
        any |= dst[x];
    }
    return any != 0;
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

int FirstSetRow_C(const uint8_t* src, int width) {
    int i = 0;
    while (i < width && src[i] == 0) {
        ++i;
    }
    return i;
}

int LastSetRow_C(const uint8_t* src, int width) {
    int i = width - 1;
    while (i >= 0 && src[i] == 0) {
        --i;
    }
    return i;
}

}  // namespace vigimot
