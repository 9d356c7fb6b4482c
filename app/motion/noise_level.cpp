#include "noise_level.h"

#include <algorithm>

namespace ovistra {
namespace {

// Every fourth sample each way (1200 of them) is plenty for a median and keeps the tick cheap.
constexpr int kHistogramStep = 4;
// Threshold = 4 medians + 8: with independent noise that is near three standard deviations of
// a pixel's difference, and the detector's erosion asks nine such pixels together.
constexpr int kMediansPerThreshold = 4;
constexpr int kThresholdMargin = 8;
constexpr int kRiseDivisor = 4;
constexpr int kFallDivisor = 16;

}  // namespace

void NoiseLevel::Update(const uint8_t* current, const uint8_t* reference, int width,
                        int height) {
    AbsDiffHistogram(current, reference, width, height, kHistogramStep, histogram_);
    // The same picture twice (a camera not shown again between two ticks) has no noise to
    // measure; taken as a measurement it would leave the threshold at its floor.
    if (std::all_of(histogram_.begin() + 1, histogram_.end(), [](uint32_t n) { return n == 0; })) {
        return;
    }
    const int medianQ4 = HistogramMedianQ4(histogram_);
    if (!measured_) {
        noiseQ4_ = medianQ4;
        measured_ = true;
    } else {
        const int divisor = medianQ4 > noiseQ4_ ? kRiseDivisor : kFallDivisor;
        // Rounded away from zero, so a lasting difference is always reached.
        const int step = medianQ4 - noiseQ4_;
        noiseQ4_ += step > 0 ? (step + divisor - 1) / divisor : -((-step + divisor - 1) / divisor);
    }
    threshold_ = std::clamp((kMediansPerThreshold * noiseQ4_ + 8) / 16 + kThresholdMargin,
                            kMinThreshold, kMaxThreshold);
}

}  // namespace ovistra
