// Plane operations of vigimot over packed or strided grey planes. They run the fastest row
// kernels the CPU allows and never allocate; argument rules are the caller's (the exports check
// what the contract allows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vigimot {

// A read-only grey plane; rows are strideBytes apart.
struct PlaneView {
    const uint8_t* data;
    ptrdiff_t strideBytes;
    int width;
    int height;
};

// Bytes of a packed plane; a plane with a side of zero or less has none. 16-bit sides keep
// every plane below 2^30 bytes, so a byte count always fits an int.
size_t PlaneBytes(int width, int height);

// dst (packed, a.width x a.height) = |a - b|; a and b have the same size.
void AbsDiffPlane(const PlaneView& a, const PlaneView& b, uint8_t* dst);

// A threshold as a band of byte values [lo, hi] (empty when lo > hi) and the value written
// inside it; the complement goes outside.
struct Band {
    int lo;
    int hi;
    uint8_t inside;
};

// The band of a binarize mode 1..5 with its two levels; none for a refused call.
std::optional<Band> BinarizeBand(int32_t mode, int32_t level1, int32_t level2);

// The band that marks bytes greater than threshold with 255.
Band ChangedBand(int threshold);

void BandPlane(const uint8_t* src, uint8_t* dst, size_t bytes, const Band& band);

// 3x3 erosion of a packed plane into a different packed plane of the same size.
void ErodePlane(const uint8_t* src, uint8_t* dst, int width, int height);

int32_t CountSetPlane(const uint8_t* src, size_t bytes);

// Bounds of the set bytes of a packed mask: first and last row and column.
struct Bounds {
    bool any;
    int left;
    int top;
    int right;
    int bottom;
};

Bounds FindBounds(const uint8_t* mask, int width, int height);

// Whole rows of the active variant, for passes that walk rows themselves.
// dst = 255 where |a - b| lies in band, else 0 (band.inside 255 and band.hi 255, as
// ChangedBand gives); true when any byte was set.
bool ChangedRow(const uint8_t* a, const uint8_t* b, uint8_t* dst, int width, const Band& band);
// ErodeRow_C of the active variant; true when any byte of dst is set.
bool ErodeRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* dst,
              int width);
// Widens bounds by row y of a mask (bounds.any false: nothing found yet). Rows with a set
// byte must come in increasing y, and `rowHasSet` must tell whether row y has one.
void AddRowToBounds(const uint8_t* row, int width, int y, bool rowHasSet, Bounds& bounds);

}  // namespace vigimot
