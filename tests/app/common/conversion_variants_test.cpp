// Every variant of the picture conversions against the reference rows, byte for byte, and the
// grey plane's values and row order.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "grey_plane.h"
#include "guarded_buffer.h"
#include "variant_runner.h"
#include "yuy2_to_rgb24.h"

namespace {

using testsupport::GuardedBuffer;
using variant_test::ForEachVariant;

const auto* const kReport =
    testing::AddGlobalTestEnvironment(new variant_test::VariantReport("conversions"));

using testsupport::kCanary;

void FillRandom(uint8_t* p, size_t bytes, std::mt19937& rng) {
    for (size_t i = 0; i < bytes; ++i) {
        p[i] = static_cast<uint8_t>(rng());
    }
}

// --- YUY2 -> 24-bit BGR

// One line of 256 * 128 groups with this U: every V with every luma, two lumas per group.
void FillEveryLumaAndV(std::vector<uint8_t>& line, int u) {
    for (size_t g = 0; g < line.size() / 4; ++g) {
        uint8_t* p = &line[g * 4];
        p[0] = static_cast<uint8_t>(2 * (g % 128));
        p[1] = static_cast<uint8_t>(u);
        p[2] = static_cast<uint8_t>(2 * (g % 128) + 1);
        p[3] = static_cast<uint8_t>(g / 128);
    }
}

TEST(Yuy2ToRgb24Variants, MatchTheReferenceForEveryLumaAndChroma) {
    constexpr int kGroups = 256 * 128;
    std::vector<uint8_t> line(kGroups * 4);
    std::vector<uint8_t> expected(kGroups * 6);
    std::vector<uint8_t> actual(kGroups * 6);
    ForEachVariant([&] {
        for (int u = 0; u < 256; ++u) {
            FillEveryLumaAndV(line, u);
            ovistra::Yuy2ToRgb24Row_C(line.data(), expected.data(), kGroups);
            ovistra::Yuy2ToRgb24(actual.data(), line.data(), kGroups, 1, 0, 0);
            ASSERT_EQ(actual, expected) << "U " << u;
        }
    });
}

TEST(Yuy2ToRgb24Variants, MatchTheReferenceOnEveryShapeStepAndAlignment) {
    std::mt19937 rng(11);
    struct Shape {
        int groups, lines;
    };
    std::vector<Shape> shapes = {{1, 1},  {1, 7},  {7, 1},  {8, 2},  {15, 3},  {16, 2},
                                 {17, 3}, {31, 2}, {33, 4}, {48, 1}, {320, 3}, {400, 2}};
    for (int i = 0; i < 20; ++i) {
        shapes.push_back({1 + static_cast<int>(rng() % 90), 1 + static_cast<int>(rng() % 4)});
    }
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            for (bool upward : {false, true}) {
                const int srcLine = s.groups * 4;
                const int srcExtra = static_cast<int>(rng() % 5);  // bytes between source lines
                const int gap = static_cast<int>(rng() % 7);
                const int dstPitch = s.groups * 6 + gap;
                // Source and destination end against guard pages, at any alignment.
                const size_t srcBytes = static_cast<size_t>(srcLine + srcExtra) * s.lines;
                GuardedBuffer src(srcBytes);
                FillRandom(src.data(), srcBytes, rng);
                GuardedBuffer dst(static_cast<size_t>(dstPitch) * s.lines - gap, kCanary);
                // Upward: start at the last line and step back over two lines' worth.
                const ptrdiff_t pitch = srcLine + srcExtra;
                const uint8_t* start = upward ? src.data() + (s.lines - 1) * pitch : src.data();
                const ptrdiff_t step = upward ? -pitch - srcLine : srcExtra;
                ovistra::Yuy2ToRgb24(dst.data(), start, s.groups, s.lines, gap, step);
                for (int l = 0; l < s.lines; ++l) {
                    const uint8_t* from = start + l * (srcLine + step);
                    std::vector<uint8_t> expected(s.groups * 6);
                    ovistra::Yuy2ToRgb24Row_C(from, expected.data(), s.groups);
                    ASSERT_EQ(
                        0, std::memcmp(dst.data() + l * dstPitch, expected.data(), expected.size()))
                        << s.groups << "x" << s.lines << " line " << l << " upward " << upward;
                    for (int k = 0; k < gap && l < s.lines - 1; ++k) {
                        ASSERT_EQ(dst[l * dstPitch + s.groups * 6 + k], kCanary) << "gap";
                    }
                }
            }
        }
    });
}

TEST(Yuy2ToRgb24Variants, StationFrameComesOutBottomUp) {
    constexpr int kGroups = 320, kLines = 480, kLineBytes = kGroups * 4;
    std::mt19937 rng(12);
    GuardedBuffer frame(kLineBytes * kLines);
    FillRandom(frame.data(), frame.size(), rng);
    ForEachVariant([&] {
        GuardedBuffer rgb(921600, kCanary);
        ovistra::Yuy2ToRgb24(rgb.data(), frame.data() + 613120, kGroups, kLines, 0, -2560);
        std::vector<uint8_t> expected(kGroups * 6);
        for (int line = 0; line < kLines; ++line) {
            ovistra::Yuy2ToRgb24Row_C(frame.data() + (kLines - 1 - line) * kLineBytes,
                                      expected.data(), kGroups);
            ASSERT_EQ(
                0, std::memcmp(rgb.data() + line * kGroups * 6, expected.data(), expected.size()))
                << "line " << line;
        }
    });
}

// --- grey plane

using BgrBytes = std::array<uint8_t, 3>;

// The grey value of one colour, from a row long enough for every variant's fast path.
int GreyOf(BgrBytes colour) {
    constexpr int kWidth = 70;
    std::vector<uint8_t> bgr;
    for (int x = 0; x < kWidth; ++x) {
        bgr.insert(bgr.end(), colour.begin(), colour.end());
    }
    std::vector<uint8_t> grey(kWidth, kCanary);
    ovistra::MakeGreyPlane(grey.data(), kWidth, bgr.data(), kWidth * 3, kWidth, 1,
                           ovistra::RowOrder::kTopDown);
    for (int x = 1; x < kWidth; ++x) {
        EXPECT_EQ(grey[x], grey[0]) << "column " << x;
    }
    return grey[0];
}

TEST(GreyPlane, WeighsRedGreenAndBlueAndTruncates) {
    ForEachVariant([&] {
        EXPECT_EQ(GreyOf({255, 255, 255}), 255);
        EXPECT_EQ(GreyOf({0, 0, 0}), 0);
        EXPECT_EQ(GreyOf({0, 0, 255}), 76);   // pure red: 19635 / 256
        EXPECT_EQ(GreyOf({0, 255, 0}), 150);  // pure green: 38505 / 256
        EXPECT_EQ(GreyOf({255, 0, 0}), 27);   // pure blue: 7140 / 256
        EXPECT_EQ(GreyOf({10, 20, 30}), 21);  // 2310 + 3020 + 280 = 5610
    });
}

TEST(GreyPlane, VariantsMatchTheReferenceForEveryColour) {
    constexpr int kWidth = 1 << 16;  // every green and blue for one red
    std::vector<uint8_t> bgr(kWidth * 3);
    std::vector<uint8_t> expected(kWidth);
    std::vector<uint8_t> actual(kWidth);
    ForEachVariant([&] {
        for (int red = 0; red < 256; ++red) {
            for (int k = 0; k < kWidth; ++k) {
                bgr[k * 3] = static_cast<uint8_t>(k);
                bgr[k * 3 + 1] = static_cast<uint8_t>(k >> 8);
                bgr[k * 3 + 2] = static_cast<uint8_t>(red);
            }
            ovistra::BgrToGreyRow_C(bgr.data(), expected.data(), kWidth);
            ovistra::MakeGreyPlane(actual.data(), kWidth, bgr.data(), kWidth * 3, kWidth, 1,
                                   ovistra::RowOrder::kTopDown);
            ASSERT_EQ(actual, expected) << "red " << red;
        }
    });
}

TEST(GreyPlane, BottomUpPictureComesOutTopDown) {
    // Line L of the picture (counted from the top) is grey 3L + 1 everywhere.
    constexpr int kWidth = 45, kHeight = 6, kStride = kWidth * 3;
    auto picture = [&](ovistra::RowOrder order) {
        std::vector<uint8_t> bgr(kStride * kHeight);
        for (int row = 0; row < kHeight; ++row) {
            const int line = order == ovistra::RowOrder::kBottomUp ? kHeight - 1 - row : row;
            std::memset(&bgr[row * kStride], 3 * line + 1, kStride);
        }
        return bgr;
    };
    ForEachVariant([&] {
        for (auto order : {ovistra::RowOrder::kBottomUp, ovistra::RowOrder::kTopDown}) {
            const std::vector<uint8_t> bgr = picture(order);
            std::vector<uint8_t> grey(kWidth * kHeight, kCanary);
            ovistra::MakeGreyPlane(grey.data(), kWidth, bgr.data(), kStride, kWidth, kHeight,
                                   order);
            for (int r = 0; r < kHeight; ++r) {
                // A grey colour keeps its value: (77 + 151 + 28) v / 256 = v.
                EXPECT_EQ(grey[r * kWidth], 3 * r + 1) << "row " << r;
                EXPECT_EQ(grey[r * kWidth + kWidth - 1], 3 * r + 1) << "row " << r;
            }
        }
    });
}

TEST(GreyPlane, VariantsMatchTheReferenceOnEveryShapeStrideAndAlignment) {
    std::mt19937 rng(13);
    struct Shape {
        int width, height;
    };
    std::vector<Shape> shapes = {{1, 1},  {1, 9},  {9, 1},  {2, 2},  {15, 3},  {16, 2},
                                 {17, 2}, {31, 3}, {32, 2}, {33, 3}, {640, 4}, {800, 600}};
    for (int i = 0; i < 20; ++i) {
        shapes.push_back({1 + static_cast<int>(rng() % 100), 1 + static_cast<int>(rng() % 5)});
    }
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            const int srcStride = s.width * 3 + static_cast<int>(rng() % 4);
            const int dstStride = s.width + static_cast<int>(rng() % 4);
            // Both planes end against a guard page; the last row has no padding after it.
            const size_t srcBytes = static_cast<size_t>(srcStride) * (s.height - 1) + s.width * 3;
            const size_t dstBytes = static_cast<size_t>(dstStride) * (s.height - 1) + s.width;
            GuardedBuffer bgr(srcBytes);
            FillRandom(bgr.data(), srcBytes, rng);
            for (auto order : {ovistra::RowOrder::kBottomUp, ovistra::RowOrder::kTopDown}) {
                GuardedBuffer grey(dstBytes, kCanary);
                ovistra::MakeGreyPlane(grey.data(), dstStride, bgr.data(), srcStride, s.width,
                                       s.height, order);
                std::vector<uint8_t> expected(s.width);
                for (int r = 0; r < s.height; ++r) {
                    const int line = order == ovistra::RowOrder::kBottomUp ? s.height - 1 - r : r;
                    ovistra::BgrToGreyRow_C(bgr.data() + line * srcStride, expected.data(),
                                            s.width);
                    ASSERT_EQ(0, std::memcmp(grey.data() + r * dstStride, expected.data(),
                                             expected.size()))
                        << s.width << "x" << s.height << " row " << r;
                    for (int k = s.width; k < dstStride && r < s.height - 1; ++k) {
                        ASSERT_EQ(grey[r * dstStride + k], kCanary) << "padding";
                    }
                }
            }
        }
    });
}

TEST(GreyPlane, EmptyPictureWritesNothing) {
    const uint8_t bgr[6] = {255, 255, 255, 255, 255, 255};
    uint8_t grey[2] = {kCanary, kCanary};
    ForEachVariant([&] {
        ovistra::MakeGreyPlane(grey, 2, bgr, 6, 0, 1, ovistra::RowOrder::kBottomUp);
        ovistra::MakeGreyPlane(grey, 2, bgr, 6, 2, 0, ovistra::RowOrder::kBottomUp);
        ovistra::MakeGreyPlane(grey, 2, bgr, 6, -1, -1, ovistra::RowOrder::kTopDown);
        EXPECT_EQ(grey[0], kCanary);
        EXPECT_EQ(grey[1], kCanary);
    });
}

// --- YUY2 straight to grey

TEST(Yuy2ToGreyPlane, MatchesTheTwoConversionsForEveryLumaAndChroma) {
    constexpr int kGroups = 256 * 128;
    std::vector<uint8_t> line(kGroups * 4);
    std::vector<uint8_t> bgr(kGroups * 6);
    std::vector<uint8_t> expected(kGroups * 2);
    std::vector<uint8_t> actual(kGroups * 2);
    ForEachVariant([&] {
        for (int u = 0; u < 256; ++u) {
            FillEveryLumaAndV(line, u);
            ovistra::Yuy2ToRgb24Row_C(line.data(), bgr.data(), kGroups);
            ovistra::BgrToGreyRow_C(bgr.data(), expected.data(), kGroups * 2);
            ovistra::Yuy2ToGreyPlane(actual.data(), kGroups * 2, line.data(), kGroups * 4, kGroups,
                                     1);
            ASSERT_EQ(actual, expected) << "U " << u;
        }
    });
}

TEST(Yuy2ToGreyPlane, StationFrameEqualsConversionThenGreyPlaneOfTheBottomUpPicture) {
    constexpr int kGroups = 320, kLines = 480;
    std::mt19937 rng(14);
    GuardedBuffer frame(kGroups * 4 * kLines);
    FillRandom(frame.data(), frame.size(), rng);
    ForEachVariant([&] {
        // The two steps as the detector takes them: bottom-up 24-bit, then grey top-down.
        std::vector<uint8_t> rgb(921600);
        ovistra::Yuy2ToRgb24(rgb.data(), frame.data() + 613120, kGroups, kLines, 0, -2560);
        std::vector<uint8_t> expected(640 * 480);
        ovistra::MakeGreyPlane(expected.data(), 640, rgb.data(), 1920, 640, 480,
                               ovistra::RowOrder::kBottomUp);
        GuardedBuffer grey(640 * 480, kCanary);
        ovistra::Yuy2ToGreyPlane(grey.data(), 640, frame.data(), 1280, kGroups, kLines);
        ASSERT_EQ(0, std::memcmp(grey.data(), expected.data(), expected.size()));
    });
}

TEST(Yuy2ToGreyPlane, MatchesTheReferenceOnEveryShapeStrideAndAlignment) {
    std::mt19937 rng(15);
    std::vector<std::pair<int, int>> shapes = {{1, 1}, {1, 5},  {7, 2},  {8, 2},
                                               {9, 3}, {16, 2}, {17, 3}, {333, 2}};
    for (int i = 0; i < 20; ++i) {
        shapes.push_back({1 + static_cast<int>(rng() % 70), 1 + static_cast<int>(rng() % 4)});
    }
    ForEachVariant([&] {
        for (auto [groups, lines] : shapes) {
            const int srcStride = groups * 4 + static_cast<int>(rng() % 5);
            const int dstStride = groups * 2 + static_cast<int>(rng() % 5);
            GuardedBuffer src(static_cast<size_t>(srcStride) * (lines - 1) + groups * 4);
            FillRandom(src.data(), src.size(), rng);
            GuardedBuffer grey(static_cast<size_t>(dstStride) * (lines - 1) + groups * 2, kCanary);
            ovistra::Yuy2ToGreyPlane(grey.data(), dstStride, src.data(), srcStride, groups, lines);
            std::vector<uint8_t> expected(groups * 2);
            for (int l = 0; l < lines; ++l) {
                ovistra::Yuy2ToGreyRow_C(src.data() + l * srcStride, expected.data(), groups);
                ASSERT_EQ(
                    0, std::memcmp(grey.data() + l * dstStride, expected.data(), expected.size()))
                    << groups << "x" << lines << " line " << l;
                for (int k = groups * 2; k < dstStride && l < lines - 1; ++k) {
                    ASSERT_EQ(grey[l * dstStride + k], kCanary) << "padding";
                }
            }
        }
    });
}

}  // namespace
