#include "grey_samples.h"

#include <bit>
#include <cstdlib>
#include <cstring>

namespace ovistra {

uint32_t SampleGreyPlane(const uint8_t* grey, ptrdiff_t greyStrideBytes, int width, int height,
                         uint8_t* samples) {
    constexpr int kMiddle = kSampleStep / 2;
    const int columns = width / kSampleStep;
    const int rows = height / kSampleStep;
    static_assert(kSampleStep == 4 && kMiddle == 2, "a sample is byte 2 of a 32-bit word");
    uint32_t sum = 0;
    for (int j = 0; j < rows; ++j) {
        const uint8_t* line = grey + (j * kSampleStep + kMiddle) * greyStrideBytes;
        uint8_t* out = samples + j * columns;
        // Whole words, so the compiler can take the bytes out with vector shifts.
        for (int i = 0; i < columns; ++i) {
            uint32_t word;
            std::memcpy(&word, line + i * kSampleStep, sizeof(word));
            if constexpr (std::endian::native == std::endian::little) {
                word >>= 8 * kMiddle;
            } else {
                word >>= 8 * (sizeof(word) - 1 - kMiddle);
            }
            out[i] = static_cast<uint8_t>(word);
            sum += out[i];
        }
    }
    return sum;
}

int MarkChanged(const uint8_t* a, const uint8_t* b, uint8_t* changed, int count, int threshold) {
    if (threshold < 0 || threshold > 255) {
        const uint8_t on = threshold < 0 ? 1 : 0;
        std::memset(changed, on, static_cast<size_t>(count > 0 ? count : 0));
        return on && count > 0 ? count : 0;
    }
    // Byte arithmetic only, which the compiler vectorises.
    const auto limit = static_cast<uint8_t>(threshold);
    int set = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t x = a[i];
        const uint8_t y = b[i];
        const uint8_t difference = x > y ? x - y : y - x;
        const uint8_t on = difference > limit ? 1 : 0;
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
