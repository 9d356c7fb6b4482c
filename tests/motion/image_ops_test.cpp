// The elementary operations of vigimot, through its exports.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_plane.h"
#include "vigimot.h"

namespace {

using vigimot_test::TestPlane;

using testsupport::kCanary;

// --- absolute difference

TEST(SubtractImage, RefusesDifferentSizesAndLeavesDestinationUntouched) {
    for (auto [w2, h2] : {std::pair{640, 479}, std::pair{639, 480}}) {
        TestPlane a(640, 480, 10), b(w2, h2, 20), dst(640, 480, kCanary);
        dst.image()->width = 7;
        dst.image()->height = 9;
        EXPECT_EQ(ORBALIN_Subtract_Image(a.image(), b.image(), dst.image()), 65535);
        EXPECT_EQ(dst.image()->width, 7);
        EXPECT_EQ(dst.image()->height, 9);
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), kCanary));
    }
}

TEST(SubtractImage, GivesAbsoluteDifferenceAndSetsTheSize) {
    std::mt19937 rng(1);
    TestPlane a(33, 7), b(33, 7), dst(33, 7, kCanary);
    a.FillRandom(rng);
    b.FillRandom(rng);
    a.at(0, 0) = 0, b.at(0, 0) = 255;
    a.at(1, 0) = 255, b.at(1, 0) = 0;
    dst.image()->width = 1;
    dst.image()->height = 1;
    ASSERT_EQ(ORBALIN_Subtract_Image(a.image(), b.image(), dst.image()), 1);
    EXPECT_EQ(dst.image()->width, 33);
    EXPECT_EQ(dst.image()->height, 7);
    EXPECT_EQ(dst.at(0, 0), 255);
    EXPECT_EQ(dst.at(1, 0), 255);
    for (size_t i = 0; i < dst.bytes(); ++i) {
        ASSERT_EQ(dst.data()[i], std::abs(a.data()[i] - b.data()[i])) << i;
    }
}

TEST(SubtractImage, IdenticalImagesGiveAnAllZeroPlane) {
    std::mt19937 rng(2);
    TestPlane a(640, 480), dst(640, 480, kCanary);
    a.FillRandom(rng);
    ASSERT_EQ(ORBALIN_Subtract_Image(a.image(), a.image(), dst.image()), 1);
    EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), 0));
}

TEST(SubtractImage, EmptyImagesWriteNothingAndAreDone) {
    TestPlane a(4, 4, 1), b(4, 4, 2), dst(4, 4, kCanary);
    for (int16_t h : {0, -3}) {
        a.image()->height = b.image()->height = h;
        EXPECT_EQ(ORBALIN_Subtract_Image(a.image(), b.image(), dst.image()), 1);
        EXPECT_EQ(dst.image()->height, h);
    }
    // Both sides negative must not turn into a large positive byte count.
    a.image()->width = b.image()->width = -4;
    a.image()->height = b.image()->height = -4;
    EXPECT_EQ(ORBALIN_Subtract_Image(a.image(), b.image(), dst.image()), 1);
    EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), kCanary));
}

// --- sub-rectangle copy

TEST(GetBufChild2d, CopiesTheRectangleIntoAPackedPlane) {
    std::mt19937 rng(3);
    TestPlane src(37, 23);
    src.FillRandom(rng);
    // The rectangle ends at the source's last byte, which lies against a guard page.
    const int x = 30, y = 11, w = 7, h = 12;
    TestPlane dst(w, h, kCanary);
    dst.image()->width = dst.image()->height = 0;
    ORBALIN_Get_Buf_Child2d(src.image(), Point16{x, y}, Size16{w, h}, dst.image());
    EXPECT_EQ(dst.image()->width, w);
    EXPECT_EQ(dst.image()->height, h);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            ASSERT_EQ(dst.at(c, r), src.at(x + c, y + r)) << c << "," << r;
        }
    }
}

TEST(GetBufChild2d, ZeroHeightCopiesNothingButSetsTheSize) {
    TestPlane src(8, 8, 1), dst(8, 8, kCanary);
    ORBALIN_Get_Buf_Child2d(src.image(), Point16{2, 2}, Size16{5, 0}, dst.image());
    EXPECT_EQ(dst.image()->width, 5);
    EXPECT_EQ(dst.image()->height, 0);
    EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), kCanary));
}

TEST(GetBufChild2d, RectangleOutsideTheSourceCopiesNothing) {
    TestPlane src(8, 8, 1), dst(8, 8, kCanary);
    for (auto [origin, extent] :
         {std::pair{Point16{4, 4}, Size16{5, 4}}, std::pair{Point16{4, 4}, Size16{4, 5}},
          std::pair{Point16{-1, 0}, Size16{2, 2}}, std::pair{Point16{0, -1}, Size16{2, 2}},
          std::pair{Point16{0, 0}, Size16{-2, 2}}}) {
        ORBALIN_Get_Buf_Child2d(src.image(), origin, extent, dst.image());
        EXPECT_EQ(dst.image()->width, extent.width);
        EXPECT_EQ(dst.image()->height, extent.height);
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), kCanary));
    }
}

// --- thresholding

// The mode table, written out per mode.
int ExpectedBinarize(int mode, int64_t l1, int64_t l2, int v) {
    switch (mode) {
        case 1:
            return (l2 < v && v < l1) ? 0 : 255;
        case 2:
            return (l1 <= v && v <= std::min<int64_t>(l2, 255)) ? 0 : 255;
        case 3:
            return v == l1 ? 255 : 0;
        case 4:
            return v > l1 ? 255 : 0;
        case 5:
            return v < l1 ? 255 : 0;
    }
    return -1;
}

TEST(Binarize, EveryModeMatchesItsTableForEveryByteAndLevelExtremes) {
    TestPlane src(256, 1);
    for (int v = 0; v < 256; ++v) {
        src.at(v, 0) = static_cast<uint8_t>(v);
    }
    const std::vector<int32_t> levels = {INT_MIN, -70000, -1,  0,   1,   99,    100,   150,
                                         200,     254,    255, 256, 300, 65534, 65536, INT_MAX};
    for (int mode = 1; mode <= 5; ++mode) {
        for (int32_t l1 : levels) {
            for (int32_t l2 : levels) {
                TestPlane dst(256, 1, kCanary);
                ASSERT_EQ(ORBALIN_Binarize(src.image(), dst.image(), mode, l1, l2), 1);
                for (int v = 0; v < 256; ++v) {
                    ASSERT_EQ(dst.at(v, 0), ExpectedBinarize(mode, l1, l2, v))
                        << "mode " << mode << " L1 " << l1 << " L2 " << l2 << " v " << v;
                }
            }
        }
    }
}

TEST(Binarize, ModesOneAndTwoTakeTheirLevelsInOppositeRoles) {
    TestPlane src(4, 1);
    const uint8_t values[] = {99, 100, 150, 200};
    std::memcpy(src.data(), values, 4);
    TestPlane dst(4, 1);
    ASSERT_EQ(ORBALIN_Binarize(src.image(), dst.image(), 1, 200, 100), 1);
    EXPECT_EQ(dst.Bytes(), (std::vector<uint8_t>{255, 255, 0, 255}));
    ASSERT_EQ(ORBALIN_Binarize(src.image(), dst.image(), 2, 100, 200), 1);
    EXPECT_EQ(dst.Bytes(), (std::vector<uint8_t>{255, 0, 0, 0}));
    // Mode 2 cuts its upper level at 255.
    src.at(3, 0) = 255;
    ASSERT_EQ(ORBALIN_Binarize(src.image(), dst.image(), 2, 100, 300), 1);
    EXPECT_EQ(dst.Bytes(), (std::vector<uint8_t>{255, 0, 0, 0}));
}

TEST(Binarize, RefusedCallSetsTheSizeButWritesNoByte) {
    TestPlane src(5, 3, 128);
    for (auto [mode, l2] : {std::pair{2, 65535}, std::pair{6, 0}, std::pair{0, 0}, std::pair{-1, 0},
                            std::pair{INT_MAX, 0}}) {
        TestPlane dst(5, 3, kCanary);
        dst.image()->width = dst.image()->height = 1;
        EXPECT_EQ(ORBALIN_Binarize(src.image(), dst.image(), mode, 100, l2), 65535);
        EXPECT_EQ(dst.image()->width, 5);
        EXPECT_EQ(dst.image()->height, 3);
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), kCanary)) << "mode " << mode;
    }
}

// --- erosion

// The erosion by its definition: AND over the 3x3 block cut to the image.
std::vector<uint8_t> ErodeByDefinition(const TestPlane& src) {
    const int w = src.width(), h = src.height();
    std::vector<uint8_t> out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t v = 0xFF;
            for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, h - 1); ++yy) {
                for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, w - 1); ++xx) {
                    v &= src.at(xx, yy);
                }
            }
            out[static_cast<size_t>(y) * w + x] = src.at(x, y) == 0 ? 0 : v;
        }
    }
    return out;
}

TEST(Erode, MatchesTheDefinitionOnRandomMasksOfEveryShape) {
    std::mt19937 rng(4);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 2}, {2, 1}, {1, 17}, {17, 1},  {2, 2},
                                         {3, 3}, {2, 5}, {5, 2}, {31, 7}, {64, 64}, {65, 33},
                                         {640, 4}};
    for (auto [w, h] : sizes) {
        for (int round = 0; round < 20; ++round) {
            TestPlane src(w, h), dst(w, h, kCanary);
            // Dense masks so that set pixels survive; some with values other than 0 and 255.
            for (size_t i = 0; i < src.bytes(); ++i) {
                const unsigned r = rng() % 16;
                src.data()[i] = r == 0 ? 0 : (round % 2 ? static_cast<uint8_t>(rng()) : 255);
            }
            ORBALIN_Erode(src.image(), dst.image());
            ASSERT_EQ(dst.Bytes(), ErodeByDefinition(src)) << w << "x" << h;
        }
    }
}

TEST(Erode, KeepsOnlyWhatHasEveryNeighbour) {
    {
        TestPlane src(9, 9), dst(9, 9, kCanary);
        src.FillRect(3, 3, 3, 3, 255);
        ORBALIN_Erode(src.image(), dst.image());
        TestPlane expected(9, 9);
        expected.at(4, 4) = 255;
        EXPECT_EQ(dst.Bytes(), expected.Bytes());
    }
    {
        TestPlane src(9, 7, 255), dst(9, 7, kCanary);
        ORBALIN_Erode(src.image(), dst.image());
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), 255));
    }
    {
        TestPlane src(9, 7), dst(9, 7, kCanary);
        src.at(0, 0) = 255;
        src.at(4, 3) = 255;
        ORBALIN_Erode(src.image(), dst.image());
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(dst.bytes(), 0));
    }
}

TEST(Erode, TwoByTwoMaskStaysWholeOrVanishesWhole) {
    TestPlane src(2, 2, 255), dst(2, 2, kCanary);
    ORBALIN_Erode(src.image(), dst.image());
    EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(4, 255));
    for (int cleared = 0; cleared < 4; ++cleared) {
        TestPlane partial(2, 2, 255);
        partial.data()[cleared] = 0;
        ORBALIN_Erode(partial.image(), dst.image());
        EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(4, 0)) << cleared;
    }
}

TEST(Erode, SingleRowAndColumnCutTheBlockAtTheEdge) {
    TestPlane row(6, 1), out(6, 1, kCanary);
    const uint8_t bits[] = {255, 255, 255, 0, 255, 255};
    std::memcpy(row.data(), bits, 6);
    ORBALIN_Erode(row.image(), out.image());
    EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{255, 255, 0, 0, 0, 255}));

    TestPlane column(1, 6), outColumn(1, 6, kCanary);
    std::memcpy(column.data(), bits, 6);
    ORBALIN_Erode(column.image(), outColumn.image());
    EXPECT_EQ(outColumn.Bytes(), (std::vector<uint8_t>{255, 255, 0, 0, 0, 255}));

    TestPlane one(1, 1, 255), outOne(1, 1, kCanary);
    ORBALIN_Erode(one.image(), outOne.image());
    EXPECT_EQ(outOne.at(0, 0), 255);
}

TEST(Erode, LeavesTheDestinationDescriptorAlone) {
    TestPlane src(4, 4, 255), dst(4, 4);
    dst.image()->width = 99;
    dst.image()->height = 98;
    ORBALIN_Erode(src.image(), dst.image());
    EXPECT_EQ(dst.image()->width, 99);
    EXPECT_EQ(dst.image()->height, 98);
    EXPECT_EQ(dst.Bytes(), std::vector<uint8_t>(16, 255));
}

// --- centre, border test, version

TEST(GetCenter, AddsHalfTheExtentTruncatingTowardZero) {
    Point16 out{-1, -1};
    ORBALIN_Get_Center(Point16{10, 20}, Size16{5, -3}, &out);
    EXPECT_EQ(out.x, 12);
    EXPECT_EQ(out.y, 19);
    ORBALIN_Get_Center(Point16{0, 0}, Size16{-5, 1}, &out);
    EXPECT_EQ(out.x, -2);
    EXPECT_EQ(out.y, 0);
    // Results are kept to 16 bits.
    ORBALIN_Get_Center(Point16{32767, -32768}, Size16{2, -2}, &out);
    EXPECT_EQ(out.x, -32768);
    EXPECT_EQ(out.y, 32767);
}

TEST(DetectBoundary, FlagsRectanglesWithinFourPixelsOfTheBorder) {
    ImageBuf mask{nullptr, 640, 480};  // the bytes are never read
    struct Case {
        Point16 origin;
        Size16 extent;
        uint8_t expected;
    };
    const Case cases[] = {
        {{5, 5}, {100, 100}, 0},
        {{4, 100}, {10, 10}, 1},
        {{100, 4}, {10, 10}, 1},
        {{100, 100}, {535, 10}, 0},
        {{100, 100}, {536, 10}, 1},
        {{100, 100}, {10, 375}, 0},
        {{100, 100}, {10, 376}, 1},
        {{-3, 100}, {10, 10}, 1},
        // The sum wraps in 16 bits and so stays below the right margin.
        {{30000, 100}, {10000, 10}, 0},
    };
    for (const Case& c : cases) {
        uint8_t out = kCanary;
        ORBALIN_Detect_Boundary(&mask, c.origin, c.extent, &out);
        EXPECT_EQ(out, c.expected)
            << c.origin.x << "," << c.origin.y << " " << c.extent.width << "x" << c.extent.height;
    }
}

TEST(GetVigimotVersion, WritesExactlyThirtyTwoBytes) {
    char text[40];
    std::memset(text, kCanary, sizeof(text));
    ORBALIN_Get_Vigimot_Version(text);
    EXPECT_EQ(std::string(text), "**** v1.00 at Nov 30 2003 ****\n");
    EXPECT_EQ(std::strlen(text), 31u);
    for (size_t i = 32; i < sizeof(text); ++i) {
        EXPECT_EQ(static_cast<uint8_t>(text[i]), kCanary);
    }
    // A buffer of exactly 32 bytes against a guard page is enough.
    testsupport::GuardedBuffer exact(32);
    ORBALIN_Get_Vigimot_Version(reinterpret_cast<char*>(exact.data()));
    EXPECT_EQ(exact[31], 0);
}

}  // namespace
