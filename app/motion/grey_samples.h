// The coarse look at a grey plane that the detector's own rules take beside the analysis
// library: one sample from the middle of every 4x4 block, which of them changed, and the
// spread of their differences. Plain loops the compiler vectorises; no faster variants.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ovistra {

inline constexpr int kSampleStep = 4;

// Writes sample (i, j) = grey pixel (4i + 2, 4j + 2) for a width/4 x height/4 grid, rows packed;
// returns the sum of the samples.
uint32_t SampleGreyPlane(const uint8_t* grey, ptrdiff_t greyStrideBytes, int width, int height,
                         uint8_t* samples);

// changed[i] = 1 where |a[i] - b[i]| > threshold, else 0; returns how many are 1.
int MarkChanged(const uint8_t* a, const uint8_t* b, uint8_t* changed, int count, int threshold);

// Number of non-zero bytes in columns [left, right) of rows [top, bottom) of a packed plane.
int CountSetInRect(const uint8_t* plane, int stride, int left, int top, int right, int bottom);

// Histogram of |a - b| over every `step`-th sample of every `step`-th row of two packed
// width x height planes.
using DiffHistogram = std::array<uint32_t, 256>;
void AbsDiffHistogram(const uint8_t* a, const uint8_t* b, int width, int height, int step,
                      DiffHistogram& histogram);

// The median of a histogram in sixteenths of a level, the bin spread evenly over its width of
// one level; 0 for an empty histogram.
int HistogramMedianQ4(const DiffHistogram& histogram);

}  // namespace ovistra
