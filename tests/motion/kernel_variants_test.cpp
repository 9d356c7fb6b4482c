// Every variant of vigimot's kernels against the reference, byte for byte: the plane
// operations against the _C row kernels, the one-pass detector against the plane-by-plane one,
// and the detectors' outputs that must stay untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "detector.h"
#include "planes.h"
#include "row_kernels.h"
#include "test_plane.h"
#include "variant_runner.h"

namespace vigimot {

// Found by argument lookup, so they stand beside the type.
bool operator==(const Bounds& a, const Bounds& b) {
    return a.any == b.any && a.left == b.left && a.top == b.top && a.right == b.right &&
           a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& os, const Bounds& b) {
    return os << (b.any ? "" : "none ") << "(" << b.left << ", " << b.top << ") - (" << b.right
              << ", " << b.bottom << ")";
}

}  // namespace vigimot

namespace {

using testsupport::GuardedBuffer;
using variant_test::ForEachVariant;
using vigimot_test::TestPlane;

const auto* const kReport =
    testing::AddGlobalTestEnvironment(new variant_test::VariantReport("vigimot kernels"));

using testsupport::kCanary;

struct Shape {
    int width, height;
};

// Widths on both sides of every vector width, so rows split between vector bodies and the
// reference in every way; 1xN, Nx1, 2x2 and a large frame.
std::vector<Shape> Shapes(std::mt19937& rng) {
    std::vector<Shape> shapes = {{1, 1},  {1, 13}, {13, 1}, {2, 2},  {3, 3},  {15, 2},
                                 {16, 2}, {17, 3}, {18, 3}, {31, 2}, {32, 3}, {33, 2},
                                 {34, 3}, {35, 4}, {63, 2}, {64, 2}, {66, 3}, {800, 600}};
    for (int i = 0; i < 25; ++i) {
        shapes.push_back({1 + static_cast<int>(rng() % 150), 1 + static_cast<int>(rng() % 6)});
    }
    return shapes;
}

// A mask with about `percent` of its bytes set, to 255 or to any non-zero value.
void FillMask(uint8_t* p, size_t bytes, int percent, bool anyValue, std::mt19937& rng) {
    for (size_t i = 0; i < bytes; ++i) {
        const bool set = static_cast<int>(rng() % 100) < percent;
        p[i] = !set ? 0 : anyValue ? static_cast<uint8_t>(1 + rng() % 255) : 255;
    }
}

// The erosion as rows of the reference kernel.
std::vector<uint8_t> ReferenceErode(const uint8_t* src, int width, int height) {
    std::vector<uint8_t> dst(static_cast<size_t>(width) * height);
    auto row = [&](int y) { return src + static_cast<ptrdiff_t>(y) * width; };
    for (int y = 0; y < height; ++y) {
        vigimot::ErodeRow_C(row(std::max(y - 1, 0)), row(y), row(std::min(y + 1, height - 1)),
                            &dst[static_cast<size_t>(y) * width], width);
    }
    return dst;
}

// The bounds as a scan of every row with the reference kernel.
vigimot::Bounds ReferenceBounds(const uint8_t* mask, int width, int height) {
    vigimot::Bounds b{false, width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        int first = 0, last = 0;
        if (!vigimot::SetSpanRow_C(mask + static_cast<ptrdiff_t>(y) * width, width, &first,
                                   &last)) {
            continue;
        }
        if (!b.any) {
            b = vigimot::Bounds{true, first, y, last, y};
            continue;
        }
        b.left = std::min(b.left, first);
        b.right = std::max(b.right, last);
        b.bottom = y;
    }
    return b;
}

// --- plane operations

TEST(KernelVariants, AbsoluteDifferenceMatchesTheReferenceOnStridedPlanes) {
    std::mt19937 rng(21);
    const std::vector<Shape> shapes = Shapes(rng);
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            // Views into wider planes whose last row ends against a guard page.
            const int strideA = s.width + static_cast<int>(rng() % 3);
            const int strideB = s.width + static_cast<int>(rng() % 3);
            GuardedBuffer a(static_cast<size_t>(strideA) * (s.height - 1) + s.width);
            GuardedBuffer b(static_cast<size_t>(strideB) * (s.height - 1) + s.width);
            FillMask(a.data(), a.size(), 100, true, rng);
            FillMask(b.data(), b.size(), 70, true, rng);
            GuardedBuffer dst(static_cast<size_t>(s.width) * s.height, kCanary);
            vigimot::AbsDiffPlane({a.data(), strideA, s.width, s.height},
                                  {b.data(), strideB, s.width, s.height}, dst.data());
            std::vector<uint8_t> expected(s.width);
            for (int y = 0; y < s.height; ++y) {
                vigimot::AbsDiffRow_C(a.data() + y * strideA, b.data() + y * strideB,
                                      expected.data(), s.width);
                ASSERT_EQ(0, std::memcmp(dst.data() + y * s.width, expected.data(), s.width))
                    << s.width << "x" << s.height << " row " << y;
            }
        }
    });
}

TEST(KernelVariants, BandMatchesTheReferenceForEveryModeAndLevel) {
    std::mt19937 rng(22);
    constexpr int kBytes = 256 + 77;  // every byte value, then a tail
    GuardedBuffer src(kBytes);
    for (int i = 0; i < kBytes; ++i) {
        src[i] = static_cast<uint8_t>(i < 256 ? i : rng());
    }
    std::vector<int32_t> levels = {INT32_MIN, -1,  0,   1,   99,    100,
                                   200,       254, 255, 256, 65535, INT32_MAX};
    for (int i = 0; i < 8; ++i) {
        levels.push_back(static_cast<int32_t>(rng() % 300) - 20);
    }
    ForEachVariant([&] {
        for (int32_t mode = 1; mode <= 5; ++mode) {
            for (int32_t l1 : levels) {
                for (int32_t l2 : levels) {
                    const auto band = vigimot::BinarizeBand(mode, l1, l2);
                    if (!band) {
                        continue;
                    }
                    std::vector<uint8_t> expected(kBytes);
                    vigimot::BandRow_C(src.data(), expected.data(), kBytes, band->lo, band->hi,
                                       band->inside);
                    GuardedBuffer dst(kBytes, kCanary);
                    vigimot::BandPlane(src.data(), dst.data(), kBytes, *band);
                    ASSERT_EQ(0, std::memcmp(dst.data(), expected.data(), kBytes))
                        << "mode " << mode << " L1 " << l1 << " L2 " << l2;
                    // In place, as a caller may binarize a plane into itself.
                    std::memcpy(dst.data(), src.data(), kBytes);
                    vigimot::BandPlane(dst.data(), dst.data(), kBytes, *band);
                    ASSERT_EQ(0, std::memcmp(dst.data(), expected.data(), kBytes)) << "in place";
                }
            }
        }
    });
}

TEST(KernelVariants, ErosionMatchesTheReferenceOnMasksAndOnAnyBytes) {
    std::mt19937 rng(23);
    const std::vector<Shape> shapes = Shapes(rng);
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            for (int percent : {50, 90, 100}) {
                for (bool anyValue : {false, true}) {
                    const size_t bytes = static_cast<size_t>(s.width) * s.height;
                    GuardedBuffer src(bytes);
                    FillMask(src.data(), bytes, percent, anyValue, rng);
                    GuardedBuffer dst(bytes, kCanary);
                    vigimot::ErodePlane(src.data(), dst.data(), s.width, s.height);
                    const std::vector<uint8_t> expected =
                        ReferenceErode(src.data(), s.width, s.height);
                    ASSERT_EQ(0, std::memcmp(dst.data(), expected.data(), bytes))
                        << s.width << "x" << s.height << " " << percent << "% any " << anyValue;
                }
            }
        }
    });
}

TEST(KernelVariants, CountMatchesTheReference) {
    std::mt19937 rng(24);
    ForEachVariant([&] {
        for (size_t bytes : {size_t{1}, size_t{15}, size_t{16}, size_t{33}, size_t{97},
                             size_t{4096}, size_t{480000}}) {
            for (int percent : {0, 1, 50, 100}) {
                GuardedBuffer mask(bytes);
                FillMask(mask.data(), bytes, percent, true, rng);
                EXPECT_EQ(vigimot::CountSetPlane(mask.data(), bytes),
                          vigimot::CountSetRow_C(mask.data(), static_cast<int>(bytes)))
                    << bytes << " " << percent << "%";
            }
        }
    });
}

TEST(KernelVariants, BoundsMatchTheRowByRowScan) {
    std::mt19937 rng(25);
    const std::vector<Shape> shapes = Shapes(rng);
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            for (int round = 0; round < 6; ++round) {
                TestPlane mask(s.width, s.height);
                const int pixels = static_cast<int>(rng() % 5);
                for (int i = 0; i < pixels; ++i) {
                    mask.at(static_cast<int>(rng() % s.width), static_cast<int>(rng() % s.height)) =
                        static_cast<uint8_t>(1 + rng() % 255);
                }
                EXPECT_EQ(vigimot::FindBounds(mask.data(), s.width, s.height),
                          ReferenceBounds(mask.data(), s.width, s.height))
                    << s.width << "x" << s.height;
            }
        }
        // One set byte at every position, in the body and in the tail of each row.
        constexpr int kW = 97, kH = 3;
        for (int k = 0; k < kW * kH; ++k) {
            TestPlane mask(kW, kH);
            mask.data()[k] = 1;
            const vigimot::Bounds b = vigimot::FindBounds(mask.data(), kW, kH);
            ASSERT_TRUE(b == (vigimot::Bounds{true, k % kW, k / kW, k % kW, k / kW})) << k;
        }
    });
}

// --- the one-pass detector

// A reference frame of random bytes and a current frame with a little noise everywhere and a
// few rectangles of real change, some only a row or a column thin.
void MakeFrames(TestPlane& cur, TestPlane& ref, std::mt19937& rng) {
    ref.FillRandom(rng);
    for (size_t i = 0; i < cur.bytes(); ++i) {
        const int noisy = ref.data()[i] + static_cast<int>(rng() % 7) - 3;
        cur.data()[i] = static_cast<uint8_t>(std::clamp(noisy, 0, 255));
    }
    const int blocks = static_cast<int>(rng() % 5);
    for (int i = 0; i < blocks; ++i) {
        const int x = static_cast<int>(rng() % cur.width());
        const int y = static_cast<int>(rng() % cur.height());
        const int w = 1 + static_cast<int>(rng() % std::min(cur.width() - x, 40));
        const int h = 1 + static_cast<int>(rng() % std::min(cur.height() - y, 40));
        cur.FillRect(x, y, w, h, static_cast<uint8_t>(rng()));
    }
}

bool SameDetection(const vigimot::Detection& a, const vigimot::Detection& b) {
    return a.target == b.target && a.found == b.found && a.alarm == b.alarm;
}

// The plane-by-plane detector on the reference kernels.
vigimot::Detection ReferenceDetection(const TestPlane& cur, const TestPlane& ref, int16_t threshold,
                                      int16_t percent, std::vector<uint8_t>& work) {
    const unsigned before = simd::SetAllowedForTesting(0);
    work.assign(cur.bytes(), 0);
    std::vector<uint8_t> mask(cur.bytes());
    const vigimot::Detection d =
        vigimot::DetectInto(vigimot::View(*cur.image()), vigimot::View(*ref.image()), threshold,
                            percent, work.data(), mask.data());
    simd::SetAllowedForTesting(before);
    return d;
}

TEST(FusedDetection, MatchesThePlaneByPlaneReference) {
    std::mt19937 rng(26);
    std::vector<Shape> shapes = Shapes(rng);
    shapes.push_back({640, 480});
    const int16_t thresholds[] = {-32768, -1, 0, 1, 5, 20, 50, 128, 200, 254, 255, 256, 32767};
    const int16_t percents[] = {-5, 0, 1, 3, 50, 100};
    ForEachVariant([&] {
        for (const Shape& s : shapes) {
            TestPlane cur(s.width, s.height), ref(s.width, s.height);
            MakeFrames(cur, ref, rng);
            for (int16_t threshold : thresholds) {
                const int16_t percent = percents[rng() % std::size(percents)];
                std::vector<uint8_t> expectedWork;
                const vigimot::Detection expected =
                    ReferenceDetection(cur, ref, threshold, percent, expectedWork);
                TestPlane work(s.width, s.height, kCanary);
                std::vector<uint8_t> rows(vigimot::DetectRowsScratchBytes(s.width));
                const vigimot::Detection withWork =
                    vigimot::DetectRows(vigimot::View(*cur.image()), vigimot::View(*ref.image()),
                                        threshold, percent, work.data(), rows.data());
                EXPECT_TRUE(SameDetection(withWork, expected))
                    << s.width << "x" << s.height << " threshold " << threshold << ": "
                    << withWork.target << " " << int{withWork.found} << int{withWork.alarm}
                    << " expected " << expected.target << " " << int{expected.found}
                    << int{expected.alarm};
                ASSERT_EQ(work.Bytes(), expectedWork)
                    << s.width << "x" << s.height << " threshold " << threshold;
                const vigimot::Detection withoutWork =
                    vigimot::DetectRows(vigimot::View(*cur.image()), vigimot::View(*ref.image()),
                                        threshold, percent, nullptr, rows.data());
                EXPECT_TRUE(SameDetection(withoutWork, expected));
            }
        }
    });
}

TEST(FusedDetection, WorkPlaneMayBeTheCurrentOrTheReferencePlane) {
    std::mt19937 rng(27);
    ForEachVariant([&] {
        for (bool intoCurrent : {true, false}) {
            TestPlane cur(77, 31), ref(77, 31);
            MakeFrames(cur, ref, rng);
            cur.FillRect(10, 10, 20, 8, 0);
            ref.FillRect(10, 10, 20, 8, 255);
            std::vector<uint8_t> expectedWork;
            const vigimot::Detection expected = ReferenceDetection(cur, ref, 20, 0, expectedWork);
            ImageBuf work = intoCurrent ? *cur.image() : *ref.image();
            uint8_t alarm = kCanary, found = kCanary;
            Rect16 target{};
            vigimot::DetectMotion(cur.image(), ref.image(), &work, 20, 0, &alarm, &target, &found);
            EXPECT_EQ(target, expected.target);
            EXPECT_EQ(found, 1);
            EXPECT_EQ(alarm, expected.alarm);
            EXPECT_EQ((intoCurrent ? cur : ref).Bytes(), expectedWork);
        }
    });
}

TEST(FusedDetection, FramesWiderThanTheStackRowsMatch) {
    std::mt19937 rng(28);
    ForEachVariant([&] {
        TestPlane cur(5000, 5), ref(5000, 5), work(5000, 5, kCanary);
        MakeFrames(cur, ref, rng);
        cur.FillRect(4200, 1, 700, 3, 0);
        ref.FillRect(4200, 1, 700, 3, 200);
        std::vector<uint8_t> expectedWork;
        const vigimot::Detection expected = ReferenceDetection(cur, ref, 30, 0, expectedWork);
        uint8_t alarm = kCanary, found = kCanary;
        Rect16 target{};
        vigimot::DetectMotion(cur.image(), ref.image(), work.image(), 30, 0, &alarm, &target,
                              &found);
        EXPECT_EQ(found, 1);
        EXPECT_EQ(target, expected.target);
        EXPECT_EQ(work.Bytes(), expectedWork);
    });
}

// --- the region-wise detector

TEST(DetectorVariants, RegionsMatchTheReferenceAndMissesLeaveTheirOutputsAlone) {
    std::mt19937 rng(29);
    constexpr int kW = 203, kH = 151;
    ForEachVariant([&] {
        for (int round = 0; round < 20; ++round) {
            TestPlane cur(kW, kH), ref(kW, kH);
            MakeFrames(cur, ref, rng);
            std::vector<MotionRegion> regions;
            for (int i = 0; i < 6; ++i) {
                const int x = static_cast<int>(rng() % (kW - 2));
                const int y = static_cast<int>(rng() % (kH - 2));
                regions.push_back(MotionRegion{
                    static_cast<int16_t>(x), static_cast<int16_t>(y),
                    static_cast<int16_t>(2 + rng() % (kW - x - 1)),
                    static_cast<int16_t>(2 + rng() % (kH - y - 1)), static_cast<int16_t>(rng() % 3),
                    static_cast<int16_t>(rng() % 60), static_cast<int8_t>(rng() % 4)});
            }
            const size_t n = regions.size();
            std::vector<uint8_t> alarms(n, kCanary), found(n, kCanary);
            std::vector<Point16> centres(n, Point16{-9, -9});
            std::vector<Rect16> targets(n, Rect16{-9, -9, -9, -9});
            ASSERT_EQ(vigimot::DetectMotionMultiple(
                          cur.image(), ref.image(), static_cast<int32_t>(n), regions.data(),
                          alarms.data(), centres.data(), targets.data(), found.data()),
                      static_cast<int32_t>(n));
            for (size_t i = 0; i < n; ++i) {
                const MotionRegion& r = regions[i];
                // The region copied out and run through the plane-by-plane reference.
                TestPlane curPart(r.width, r.height), refPart(r.width, r.height);
                for (int y = 0; y < r.height; ++y) {
                    for (int x = 0; x < r.width; ++x) {
                        curPart.at(x, y) = cur.at(r.x + x, r.y + y);
                        refPart.at(x, y) = ref.at(r.x + x, r.y + y);
                    }
                }
                std::vector<uint8_t> work;
                const vigimot::Detection d =
                    ReferenceDetection(curPart, refPart, r.diffThreshold, r.areaPercent, work);
                ASSERT_EQ(found[i], d.found) << "region " << i;
                if (!d.found) {
                    EXPECT_EQ(alarms[i], 0);
                    EXPECT_EQ(centres[i].x, -9);
                    EXPECT_EQ(centres[i].y, -9);
                    EXPECT_EQ(targets[i], (Rect16{-9, -9, -9, -9}));
                    continue;
                }
                const Rect16 t = d.target;
                const uint8_t border =
                    vigimot::NearBorder({t.x, t.y}, {t.width, t.height}, r.width, r.height);
                EXPECT_EQ(alarms[i], r.rule == 1 ? d.alarm : r.rule == 2 ? border : 0);
                EXPECT_EQ(targets[i], (Rect16{static_cast<int16_t>(r.x + t.x),
                                              static_cast<int16_t>(r.y + t.y), t.width, t.height}));
                EXPECT_EQ(centres[i].x, r.x + t.x + t.width / 2);
                EXPECT_EQ(centres[i].y, r.y + t.y + t.height / 2);
            }
        }
    });
}

TEST(DetectorVariants, RefusedCallsTouchNothingTheyShouldNot) {
    ForEachVariant([&] {
        TestPlane cur(64, 48, 255), ref(64, 47), work(64, 48, kCanary);
        uint8_t alarm = kCanary, found = kCanary;
        Rect16 target{-7, -7, -7, -7};
        vigimot::DetectMotion(cur.image(), ref.image(), work.image(), 0, 0, &alarm, &target,
                              &found);
        EXPECT_EQ(alarm, 0);
        EXPECT_EQ(found, 0);
        EXPECT_EQ(target, (Rect16{-7, -7, -7, -7}));
        EXPECT_EQ(work.Bytes(), std::vector<uint8_t>(work.bytes(), kCanary));

        const MotionRegion region{0, 0, 8, 8, 0, 10, 1};
        Point16 centre{-9, -9};
        vigimot::DetectMotionMultiple(cur.image(), ref.image(), 1, &region, &alarm, &centre,
                                      &target, &found);
        EXPECT_EQ(alarm, 0);
        EXPECT_EQ(found, 0);
        EXPECT_EQ(centre.x, -9);
        EXPECT_EQ(target, (Rect16{-7, -7, -7, -7}));
    });
}

TEST(DetectorVariants, PlanesWithoutMemoryFindNothing) {
    ForEachVariant([&] {
        ImageBuf none{nullptr, 640, 480};
        TestPlane frame(640, 480, 255), work(640, 480, kCanary);
        uint8_t alarm = kCanary, found = kCanary;
        Rect16 target{1, 2, 3, 4};
        vigimot::DetectMotion(frame.image(), &none, work.image(), 0, 0, &alarm, &target, &found);
        EXPECT_EQ(found, 0);
        EXPECT_EQ(alarm, 0);
        EXPECT_EQ(target.x, 1);
        EXPECT_EQ(work.Bytes(), std::vector<uint8_t>(work.bytes(), kCanary));
        ImageBuf noWork{nullptr, 0, 0};
        vigimot::DetectMotion(frame.image(), frame.image(), &noWork, 0, 0, &alarm, &target, &found);
        EXPECT_EQ(found, 0);
        EXPECT_EQ(noWork.width, 0);

        const MotionRegion whole{0, 0, 640, 480, 0, 0, 1};
        Point16 centre{5, 5};
        EXPECT_EQ(vigimot::DetectMotionMultiple(&none, frame.image(), 1, &whole, &alarm, &centre,
                                                &target, &found),
                  1);
        EXPECT_EQ(found, 0);
        EXPECT_EQ(centre.x, 5);
    });
}

}  // namespace
