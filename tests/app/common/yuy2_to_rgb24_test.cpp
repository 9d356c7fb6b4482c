#include "yuy2_to_rgb24.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "guarded_buffer.h"

namespace {

using testsupport::GuardedBuffer;
using Bgr = std::array<int, 3>;

struct Group {
    uint8_t y0, u, y1, v;
};

std::pair<Bgr, Bgr> ConvertGroup(Group g) {
    const uint8_t src[4] = {g.y0, g.u, g.y1, g.v};
    uint8_t dst[6];
    ovistra::Yuy2ToRgb24(dst, src, 1, 1, 0, 0);
    return {Bgr{dst[0], dst[1], dst[2]}, Bgr{dst[3], dst[4], dst[5]}};
}

TEST(Yuy2ToRgb24, FollowsTheIntegerFormulaAndClampsAtBothEnds) {
    struct Case {
        uint8_t y, u, v;
        Bgr expected;
    };
    // Worked by hand from blue = (74C + 129D + 32) >> 6, green = (74C - 25D - 52E + 32) >> 6,
    // red = (74C + 102E + 32) >> 6 with C = Y - 16, D = U - 128, E = V - 128.
    const Case cases[] = {
        {16, 128, 128, {0, 0, 0}},         // black
        {235, 128, 128, {253, 253, 253}},  // 16238 >> 6
        {255, 128, 128, {255, 255, 255}},  // 276 clamps to 255
        {0, 128, 128, {0, 0, 0}},          // -18 clamps to 0
        {128, 100, 200, {73, 82, 244}},    // nothing clamps
        {255, 255, 0, {255, 255, 72}},     // blue's sum 34101 would wrap in 16 bits
        {0, 0, 255, {0, 0, 184}},          // blue and green below 0
        {81, 90, 240, {0, 0, 254}},        // red of a saturated red
        {145, 54, 34, {0, 254, 0}},        // a saturated green
    };
    for (const Case& c : cases) {
        const auto [first, second] = ConvertGroup(Group{c.y, c.u, c.y, c.v});
        EXPECT_EQ(first, c.expected) << int{c.y} << " " << int{c.u} << " " << int{c.v};
        EXPECT_EQ(second, c.expected);
    }
}

TEST(Yuy2ToRgb24, EachLumaGivesItsOwnPixelWithTheSharedChroma) {
    const auto [first, second] = ConvertGroup(Group{16, 128, 235, 128});
    EXPECT_EQ(first, (Bgr{0, 0, 0}));
    EXPECT_EQ(second, (Bgr{253, 253, 253}));
}

// A frame whose lines are told apart by their luma.
std::vector<uint8_t> StripedFrame(int groups, int lines) {
    std::vector<uint8_t> frame(static_cast<size_t>(groups) * 4 * lines);
    for (int line = 0; line < lines; ++line) {
        for (int g = 0; g < groups; ++g) {
            uint8_t* p = &frame[(static_cast<size_t>(line) * groups + g) * 4];
            p[0] = static_cast<uint8_t>(16 + line * 3);
            p[1] = 128;
            p[2] = static_cast<uint8_t>(17 + line * 3 + g % 2);
            p[3] = 128;
        }
    }
    return frame;
}

TEST(Yuy2ToRgb24, NegativeStepWalksTheFrameUpwardAsTheCallersDo) {
    constexpr int kGroups = 320, kLines = 480, kLineBytes = kGroups * 4;
    const std::vector<uint8_t> frame = StripedFrame(kGroups, kLines);
    // Source and destination against guard pages at both ends.
    GuardedBuffer src(frame.size());
    std::memcpy(src.data(), frame.data(), frame.size());
    GuardedBuffer dst(921600, 0xA5);
    ovistra::Yuy2ToRgb24(dst.data(), src.data() + 613120, kGroups, kLines, 0, -2560);
    for (int line = 0; line < kLines; ++line) {
        std::vector<uint8_t> expected(kGroups * 6);
        ovistra::Yuy2ToRgb24(expected.data(), frame.data() + (kLines - 1 - line) * kLineBytes,
                             kGroups, 1, 0, 0);
        ASSERT_EQ(0, std::memcmp(dst.data() + line * kGroups * 6, expected.data(), expected.size()))
            << "line " << line;
    }
}

TEST(Yuy2ToRgb24, DestinationGapIsSkippedAndLeftUntouched) {
    constexpr int kGroups = 3, kLines = 4, kGap = 5, kPitch = kGroups * 6 + kGap;
    const std::vector<uint8_t> frame = StripedFrame(kGroups, kLines);
    GuardedBuffer dst(kPitch * kLines - kGap, 0xA5);
    ovistra::Yuy2ToRgb24(dst.data(), frame.data(), kGroups, kLines, kGap, 0);
    for (int line = 0; line < kLines; ++line) {
        uint8_t expected[kGroups * 6];
        ovistra::Yuy2ToRgb24(expected, frame.data() + line * kGroups * 4, kGroups, 1, 0, 0);
        EXPECT_EQ(0, std::memcmp(dst.data() + line * kPitch, expected, sizeof(expected))) << line;
        for (int k = 0; k < kGap && line < kLines - 1; ++k) {
            EXPECT_EQ(dst[line * kPitch + kGroups * 6 + k], 0xA5) << line;
        }
    }
}

TEST(Yuy2ToRgb24, NothingToConvertWritesNothing) {
    uint8_t src[4] = {200, 128, 200, 128};
    uint8_t dst[6] = {1, 2, 3, 4, 5, 6};
    ovistra::Yuy2ToRgb24(dst, src, 0, 5, 0, 0);
    ovistra::Yuy2ToRgb24(dst, src, 1, 0, 0, 0);
    ovistra::Yuy2ToRgb24(dst, src, -1, -1, 0, 0);
    EXPECT_EQ(dst[0], 1);
    EXPECT_EQ(dst[5], 6);
}

}  // namespace
