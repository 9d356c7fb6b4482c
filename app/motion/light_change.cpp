#include "light_change.h"

#include "grey_samples.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ovistra {
namespace {

// Clipped samples say nothing of how the light scaled them.
constexpr int kDarkest = 6;
constexpr int kBrightest = 249;

bool Unclipped(const LightChangeInput& in, int i) {
    return in.reference[i] >= kDarkest && in.reference[i] <= kBrightest &&
           in.current[i] >= kDarkest && in.current[i] <= kBrightest;
}

// current ~ gain * reference + offset over the samples `use` lets in.
template <typename Use>
Fit FitBrightness(const LightChangeInput& in, Use use) {
    double n = 0, sr = 0, sc = 0, srr = 0, scc = 0, src = 0;
    const int count = in.width * in.height;
    for (int i = 0; i < count; ++i) {
        if (!use(i)) {
            continue;
        }
        const double r = in.reference[i];
        const double c = in.current[i];
        n += 1;
        sr += r;
        sc += c;
        srr += r * r;
        scc += c * c;
        src += r * c;
    }
    Fit fit;
    if (n < 2) {
        return fit;
    }
    const double varR = srr - sr * sr / n;
    const double varC = scc - sc * sc / n;
    const double cov = src - sr * sc / n;
    // The ratio of the spreads, not the least-squares slope: noise in the reference would
    // flatten that slope, on a dark noisy picture almost to nothing. A flat picture only
    // tells the shift.
    if (varR > n && cov > 0) {
        fit.gain = std::sqrt(varC / varR);
    }
    fit.offset = (sc - fit.gain * sr) / n;
    return fit;
}

// What the fit leaves of sample i beyond what the light may: colours clipped in the grey
// conversion stray from the fit by a share of their own change, so a share of the light's
// change at the sample is forgiven; and a clipped sample only bounds its true level, so a
// leftover on the side the clip hides is no leftover. 0: nothing left.
int LeftOver(const LightChangeInput& in, const Fit& fit, int limit, int i, double uneven = 0) {
    const int reference = in.reference[i];
    const int current = in.current[i];
    const double predicted = std::clamp(fit.gain * reference + fit.offset + uneven, 0.0, 255.0);
    const double difference = current - predicted;
    const bool hidden = difference > 0
                            ? reference > kBrightest || current < kDarkest
                            : reference < kDarkest || current > kBrightest;
    if (hidden && fit.gain > 0) {
        return 0;
    }
    const double forgiven = std::max<double>(
        limit, LightChangeRule::kForgivenPercent * std::abs(predicted - reference) / 100);
    const double left = std::abs(difference) - forgiven;
    return left > 0 ? static_cast<int>(std::ceil(left)) : 0;
}

// Where each sample of a row or column lies between the field's block centres: the two blocks
// and the weight of the second.
void Spans(int samples, int blocks, std::vector<LightChangeRule::Span>& spans) {
    constexpr int kBlock = LightChangeRule::kFieldBlock;
    auto centre = [&](int b) { return (b * kBlock + std::min((b + 1) * kBlock, samples)) / 2.0; };
    spans.resize(static_cast<size_t>(samples));
    for (int x = 0; x < samples; ++x) {
        LightChangeRule::Span& span = spans[static_cast<size_t>(x)];
        const int b = std::clamp(static_cast<int>((x - kBlock / 2.0) / kBlock), 0, blocks - 1);
        const int next = std::min(b + 1, blocks - 1);
        span.first = b;
        span.second = next;
        span.weight = next == b ? 0.0f
                                : static_cast<float>(std::clamp(
                                      (x - centre(b)) / (centre(next) - centre(b)), 0.0, 1.0));
    }
}

}  // namespace

// The light's uneven part (a lamp's pool, a soft shadow's edge) as a smooth field of what the
// global fit leaves: the median of each block, spread linearly between the blocks' centres.
// An object fills too little of a block to move its median and stays a leftover.
void LightChangeRule::FitUnevenLight(const LightChangeInput& in, const Fit& fit) {
    const int columns = (in.width + kFieldBlock - 1) / kFieldBlock;
    const int rows = (in.height + kFieldBlock - 1) / kFieldBlock;
    blockLevel_.assign(static_cast<size_t>(columns) * rows, 0.0f);
    for (int by = 0; by < rows; ++by) {
        for (int bx = 0; bx < columns; ++bx) {
            blockSamples_.clear();
            int samples = 0;
            for (int y = by * kFieldBlock; y < std::min((by + 1) * kFieldBlock, in.height); ++y) {
                for (int x = bx * kFieldBlock; x < std::min((bx + 1) * kFieldBlock, in.width);
                     ++x) {
                    const int i = y * in.width + x;
                    ++samples;
                    if (Unclipped(in, i)) {
                        blockSamples_.push_back(static_cast<float>(
                            in.current[i] - (fit.gain * in.reference[i] + fit.offset)));
                    }
                }
            }
            // A block mostly clipped tells nothing of the light there.
            if (blockSamples_.empty() || 4 * blockSamples_.size() < static_cast<size_t>(samples)) {
                continue;
            }
            const auto middle = blockSamples_.begin() + blockSamples_.size() / 2;
            std::nth_element(blockSamples_.begin(), middle, blockSamples_.end());
            blockLevel_[static_cast<size_t>(by * columns + bx)] = *middle;
        }
    }
    Spans(in.width, columns, columnSpans_);
    Spans(in.height, rows, rowSpans_);
    uneven_.resize(static_cast<size_t>(in.width) * in.height);
    for (int y = 0; y < in.height; ++y) {
        const Span& r = rowSpans_[static_cast<size_t>(y)];
        const float* upper = &blockLevel_[static_cast<size_t>(r.first * columns)];
        const float* lower = &blockLevel_[static_cast<size_t>(r.second * columns)];
        for (int x = 0; x < in.width; ++x) {
            const Span& c = columnSpans_[static_cast<size_t>(x)];
            const float top = upper[c.first] + (upper[c.second] - upper[c.first]) * c.weight;
            const float bottom = lower[c.first] + (lower[c.second] - lower[c.first]) * c.weight;
            uneven_[static_cast<size_t>(y * in.width + x)] = top + (bottom - top) * r.weight;
        }
    }
}

bool LightChangeRule::Suspect(const LightChangeInput& in) const {
    const int64_t count = int64_t{in.width} * in.height;
    const int64_t jump = std::llabs(int64_t{in.currentSum} - int64_t{in.referenceSum});
    if (jump >= kMeanJump * count) {
        return true;
    }
    for (const SampleRect& zone : *in.zones) {
        const int64_t samples = int64_t{zone.right - zone.left} * (zone.bottom - zone.top);
        // Too little change in all the picture to fill the share: no need to count.
        if (100 * int64_t{in.changedCount} < kSpreadPercent * samples) {
            continue;
        }
        const int changed =
            CountSetInRect(in.changed, in.width, zone.left, zone.top, zone.right, zone.bottom);
        if (samples > 0 && 100 * int64_t{changed} >= kSpreadPercent * samples) {
            return true;
        }
    }
    return false;
}

bool LightChangeRule::ObjectThroughLight(const LightChangeInput& in) {
    auto unclipped = [&](int i) { return Unclipped(in, i); };
    const int limit = std::max(in.threshold, kMinResidual);
    // A second fit without what the first could not explain, so an object does not bend it.
    const Fit first = FitBrightness(in, unclipped);
    const Fit fit = FitBrightness(
        in, [&](int i) { return unclipped(i) && LeftOver(in, first, limit, i) == 0; });

    FitUnevenLight(in, fit);

    const int count = in.width * in.height;
    residual_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        residual_[static_cast<size_t>(i)] =
            LeftOver(in, fit, limit, i, uneven_[static_cast<size_t>(i)]) > 0 ? 1 : 0;
    }
    const uint8_t* left = residual_.data();
    for (const SampleRect& zone : *in.zones) {
        const int64_t samples = int64_t{zone.right - zone.left} * (zone.bottom - zone.top);
        if (samples == 0) {
            continue;
        }
        // Left over all across the zone: light the fit could not follow, not an object.
        const int leftOver =
            CountSetInRect(left, in.width, zone.left, zone.top, zone.right, zone.bottom);
        if (100 * int64_t{leftOver} >= kSpreadPercent * samples) {
            continue;
        }
        int core = 0;
        for (int y = std::max(zone.top, 1); y < std::min(zone.bottom, in.height - 1); ++y) {
            for (int x = std::max(zone.left, 1); x < std::min(zone.right, in.width - 1); ++x) {
                const int i = y * in.width + x;
                core += left[i] & left[i - 1] & left[i + 1] & left[i - in.width] &
                        left[i + in.width];
            }
        }
        if (core >= kObjectCoreSamples) {
            return true;
        }
    }
    return false;
}

bool LightChangeRule::IsLightChange(const LightChangeInput& in) {
    return Suspect(in) && !ObjectThroughLight(in);
}

}  // namespace ovistra
