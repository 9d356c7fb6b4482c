#include "grey_samples.h"

#include <cstdlib>

namespace ovistra {

uint32_t SampleGreyPlane(const uint8_t* grey, ptrdiff_t greyStrideBytes, int width, int height,
                         uint8_t* samples) {
    constexpr int kMiddle = kSampleStep / 2;
    const int columns = width / kSampleStep;
    const int rows = height / kSampleStep;
    uint32_t sum = 0;
    for (int j = 0; j < rows; ++j) {
        const uint8_t* line = grey + (j * kSampleStep + kMiddle) * greyStrideBytes + kMiddle;
        uint8_t* out = samples + j * columns;
        for (int i = 0; i < columns; ++i) {
            out[i] = line[i * kSampleStep];
            sum += out[i];
        }
    }
    return sum;
}

int MarkChanged(const uint8_t* a, const uint8_t* b, uint8_t* changed, int count, int threshold) {
    int set = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t on = std::abs(a[i] - b[i]) > threshold ? 1 : 0;
        changed[i] = on;
        set += on;
    }
    return set;
}

int CountSetInRect(const uint8_t* plane, int stride, int left, int top, int right, int bottom) {
    int set = 0;
    for (int y = top; y < bottom; ++y) {
        const uint8_t* row = plane + y * stride;
        for (int x = left; x < right; ++x) {
            set += row[x] != 0 ? 1 : 0;
        }
    }
    return set;
}

void AbsDiffHistogram(const uint8_t* a, const uint8_t* b, int width, int height, int step,
                      DiffHistogram& histogram) {
    histogram.fill(0);
    for (int y = 0; y < height; y += step) {
        for (int x = 0; x < width; x += step) {
            const int i = y * width + x;
            ++histogram[static_cast<size_t>(std::abs(a[i] - b[i]))];
        }
    }
}

int HistogramMedianQ4(const DiffHistogram& histogram) {
    uint64_t total = 0;
    for (const uint32_t n : histogram) {
        total += n;
    }
    if (total == 0) {
        return 0;
    }
    // Twice the counts, so half of an odd total stays whole.
    const uint64_t half = total;
    uint64_t below = 0;
    for (int level = 0; level < 256; ++level) {
        const uint64_t here = 2 * uint64_t{histogram[static_cast<size_t>(level)]};
        if (below + here >= half && here > 0) {
            // Level L covers [L - 1/2, L + 1/2); level 0 only its upper half.
            const int64_t q4 =
                16 * level - 8 + static_cast<int64_t>(16 * (half - below) / here);
            return static_cast<int>(q4 < 0 ? 0 : q4);
        }
        below += here;
    }
    return 255 * 16;
}

}  // namespace ovistra
