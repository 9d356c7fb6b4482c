#include "picture_planes.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovistra::network {
namespace {

TEST(PicturePlanes, Yuy2ToI420KeepsLumaAndAveragesChromaOfTwoRows) {
    // 4x2: Y0 U Y1 V pairs, the second row's chroma differs so the rounding shows.
    const std::vector<uint8_t> yuy2 = {10, 100, 11, 200, 12, 50, 13, 60,
                                       20, 101, 21, 201, 22, 51, 23, 61};
    std::vector<uint8_t> i420(I420Bytes(4, 2));
    Yuy2ToI420(yuy2.data(), i420.data(), 4, 2);
    EXPECT_EQ(i420, (std::vector<uint8_t>{10, 11, 12, 13, 20, 21, 22, 23, 101, 51, 201, 61}));
}

TEST(PicturePlanes, ReductionFillsOnlyItsQuarterWithRoundedMeans) {
    constexpr int kWidth = 8, kHeight = 4;
    std::vector<uint8_t> source(I420Bytes(kWidth, kHeight));
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<uint8_t>(i * 7);
    }
    for (int quarter = 0; quarter < 4; ++quarter) {
        std::vector<uint8_t> target(source.size(), 0xAA);
        ReduceIntoQuarter(source.data(), target.data(), kWidth, kHeight, quarter);
        const int left = (quarter & 1) * kWidth / 2, top = (quarter >> 1) * kHeight / 2;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool inside = x >= left && x < left + 4 && y >= top && y < top + 2;
                const int sx = 2 * (x - left), sy = 2 * (y - top);
                const int mean = inside ? (source[sy * kWidth + sx] + source[sy * kWidth + sx + 1] +
                                           source[(sy + 1) * kWidth + sx] +
                                           source[(sy + 1) * kWidth + sx + 1] + 2) / 4
                                        : 0xAA;
                EXPECT_EQ(target[y * kWidth + x], mean) << "quarter " << quarter << " at " << x << "," << y;
            }
        }
        // The 4x2 chroma planes: two samples a quarter, each the mean of its 2x2.
        const size_t u = kWidth * kHeight, uTarget = u + (quarter >> 1) * 4 + (quarter & 1) * 2;
        EXPECT_EQ(target[uTarget], (source[u] + source[u + 1] + source[u + 4] + source[u + 5] + 2) / 4);
        EXPECT_EQ(target[uTarget + 1],
                  (source[u + 2] + source[u + 3] + source[u + 6] + source[u + 7] + 2) / 4);
        EXPECT_EQ(target[u + ((quarter & 1) ? 0 : 2) + (quarter >> 1) * 4], 0xAA);
    }
}

TEST(PicturePlanes, InversionUnderATextIsClippedToThePlane) {
    QImage mask(3, 2, QImage::Format_Mono);
    mask.setColorTable({0xFF000000, 0xFFFFFFFF});
    mask.fill(1);
    mask.setPixel(1, 0, 0);
    struct Case {
        int left, top;
        std::vector<uint8_t> expected;  // a 4x2 plane of zeros afterwards
    };
    const Case cases[] = {
        {0, 0, {255, 0, 255, 0, 255, 255, 255, 0}},
        {-1, 0, {0, 255, 0, 0, 255, 255, 0, 0}},
        {2, 1, {0, 0, 0, 0, 0, 0, 255, 0}},
        {3, -1, {0, 0, 0, 255, 0, 0, 0, 0}},
        {4, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> plane(8, 0);
        InvertLumaUnder(mask, plane.data(), 4, 2, 4, c.left, c.top);
        EXPECT_EQ(plane, c.expected) << "at " << c.left << "," << c.top;
    }
}

}  // namespace
}  // namespace ovistra::network
