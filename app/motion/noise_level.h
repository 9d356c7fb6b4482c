// The noise of one camera's picture and the grey threshold that follows it ("SenseMode" 0): a
// multiple of the median absolute difference of two ticks' samples, bounded. The median
// ignores whatever covers less than half the picture, so a passing object barely moves it.
#pragma once

#include <cstdint>

#include "grey_samples.h"

namespace ovistra {

class NoiseLevel {
public:
    // A clean day picture still keeps this much; a very noisy night one no more.
    static constexpr int kMinThreshold = 10;
    static constexpr int kMaxThreshold = 120;

    // The threshold in force: kMaxThreshold until a first measurement.
    int Threshold() const { return threshold_; }
    bool measured() const { return measured_; }

    // Two consecutive ticks' samples (width x height, packed); the same picture twice counts
    // for nothing. Call it on ticks that were not a light change: noise rises quickly, so a noisier night never leaves the threshold
    // below it for long, and falls slowly, so a lull does not make the camera jumpy.
    void Update(const uint8_t* current, const uint8_t* reference, int width, int height);

    // The median absolute difference last taken into account, in sixteenths of a level.
    int noiseQ4() const { return noiseQ4_; }

private:
    bool measured_ = false;
    int noiseQ4_ = 0;
    int threshold_ = kMaxThreshold;
    DiffHistogram histogram_{};
};

}  // namespace ovistra
