// Tells a light change (a lamp switched on or off, a cloud, a camera's day/night switch) from
// motion, on the samples of two ticks. A light change moves the mean grey level or spreads
// change over much of a zone; it is confirmed when the brightness of the reference, scaled and
// shifted to fit the current picture and then evened by a smooth field for light that falls
// unevenly (a lamp's pool), leaves no compact changed patch behind: a person crossing while the
// light changes leaves one, too sharp and small for the field, and is still motion.
#pragma once

#include <cstdint>
#include <vector>

namespace ovistra {

// Samples [left, right) x [top, bottom) of the sample grid.
struct SampleRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct LightChangeInput {
    const uint8_t* current;    // width x height samples
    const uint8_t* reference;  // the same place a tick earlier
    const uint8_t* changed;    // 1 where the samples differ by more than `threshold`
    int changedCount;          // how many are 1
    int width;
    int height;
    uint32_t currentSum;
    uint32_t referenceSum;
    const std::vector<SampleRect>* zones;  // never empty
    int threshold;
};

// current ~ gain * reference + offset: the light's change over the whole picture.
struct Fit {
    double gain = 1.0;
    double offset = 0.0;
};

class LightChangeRule {
public:
    // A mean grey level moving this much between ticks, or change over this share of a zone,
    // makes a tick suspect.
    static constexpr int kMeanJump = 8;
    static constexpr int kSpreadPercent = 30;
    // What is left after the fit counts as an object from this many samples whose four
    // neighbours are left too (a patch of about 16x16 pixels).
    static constexpr int kObjectCoreSamples = 4;
    // The fit is not exact under uneven light: smaller leftovers are the light's, and so is
    // this share of the light's own change at a sample.
    static constexpr int kMinResidual = 24;
    static constexpr int kForgivenPercent = 60;

    // The light's uneven part is followed in blocks of this many samples a side, far larger
    // than a person (about 12x32 samples near the camera), so a block's median stays the light's.
    static constexpr int kFieldBlock = 32;

    // A sample's place between two blocks' centres.
    struct Span {
        int first;
        int second;
        float weight;
    };

    // True when the tick is a light change and no object is seen through it.
    bool IsLightChange(const LightChangeInput& in);

private:
    bool Suspect(const LightChangeInput& in) const;
    bool ObjectThroughLight(const LightChangeInput& in);

    void FitUnevenLight(const LightChangeInput& in, const Fit& fit);

    // Kept between ticks: no allocation after the first.
    std::vector<uint8_t> residual_;
    std::vector<float> uneven_;  // the light's uneven part at each sample
    std::vector<float> blockLevel_;
    std::vector<float> blockSamples_;
    std::vector<Span> columnSpans_;
    std::vector<Span> rowSpans_;
};

}  // namespace ovistra
