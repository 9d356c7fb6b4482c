// The contrast ratio against published values of the relative-luminance formula, both ways
// round, and the scheme's readability at the 3:1 line.
#include "contrast_ratio.h"

#include <gtest/gtest.h>

namespace ovistra {
namespace {

constexpr uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b) << 16;
}

TEST(ContrastRatio, MatchesKnownPairsEitherWayRound) {
    const struct {
        uint32_t a, b;
        double ratio;
    } pairs[] = {
        {Rgb(0, 0, 0), Rgb(255, 255, 255), 21.0},
        {Rgb(119, 119, 119), Rgb(255, 255, 255), 4.48},  // a grey just short of 4.5
        {Rgb(118, 118, 118), Rgb(255, 255, 255), 4.54},
        {Rgb(255, 0, 0), Rgb(0, 0, 0), 5.25},  // red is the low byte
        {Rgb(0, 0, 255), Rgb(0, 0, 0), 2.44},
        {Rgb(0, 0, 255), Rgb(255, 255, 255), 8.59},
        {Rgb(0, 255, 100), Rgb(225, 225, 225), 1.04},  // green on a style's light grey
        {Rgb(0, 255, 100), Rgb(30, 124, 255), 2.88},   // the default scheme
        {Rgb(250, 255, 0), Rgb(30, 124, 255), 3.60},   // a disabled label on its face
        {Rgb(37, 99, 163), Rgb(37, 99, 163), 1.0},
    };
    for (const auto& p : pairs) {
        EXPECT_NEAR(ContrastRatio(p.a, p.b), p.ratio, 0.01) << std::hex << p.a << " " << p.b;
        EXPECT_DOUBLE_EQ(ContrastRatio(p.a, p.b), ContrastRatio(p.b, p.a));
    }
}

TEST(ContrastRatio, ASchemeIsReadableFromThreeToOne) {
    ColourScheme scheme;
    scheme.textRed = scheme.textGreen = scheme.textBlue = 0;
    scheme.backgroundRed = scheme.backgroundGreen = scheme.backgroundBlue = 0;
    EXPECT_FALSE(IsReadable(scheme));  // one colour for both
    // Grey 90 on black is just over 3:1, 89 just under.
    scheme.backgroundRed = scheme.backgroundGreen = scheme.backgroundBlue = 90;
    EXPECT_TRUE(IsReadable(scheme));
    scheme.backgroundRed = scheme.backgroundGreen = scheme.backgroundBlue = 89;
    EXPECT_FALSE(IsReadable(scheme));
}

}  // namespace
}  // namespace ovistra
