// The contrast ratio against published values, both ways round, and the 3:1 line.
#include "contrast_ratio.h"

#include <gtest/gtest.h>

namespace ovistra {
namespace {

TEST(ContrastRatio, MatchesKnownPairsEitherWayRoundAndReadsFromThreeToOne) {
    const struct {
        ColourScheme scheme;  // background, then text
        double ratio;
    } cases[] = {
        {{0, 0, 0, 255, 255, 255}, 21.0},
        {{255, 255, 255, 118, 118, 118}, 4.54},
        {{0, 0, 0, 255, 0, 0}, 5.25},  // red is the low byte of a colour value
        {{0, 0, 0, 0, 0, 255}, 2.44},
        {{30, 124, 255, 0, 255, 100}, 2.88},  // the default scheme
        {{0, 0, 0, 90, 90, 90}, 3.04},
        {{0, 0, 0, 89, 89, 89}, 2.99},
        {{37, 99, 163, 37, 99, 163}, 1.0},
    };
    for (const auto& c : cases) {
        const uint32_t text = c.scheme.Text(), background = c.scheme.Background();
        EXPECT_NEAR(ContrastRatio(text, background), c.ratio, 0.01) << c.ratio;
        EXPECT_DOUBLE_EQ(ContrastRatio(background, text), ContrastRatio(text, background));
        EXPECT_EQ(IsReadable(c.scheme), c.ratio >= 3.0) << c.ratio;
    }
}

}  // namespace
}  // namespace ovistra
