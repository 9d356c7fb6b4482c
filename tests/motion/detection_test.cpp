// Bounding box, count alarm and the two motion detectors of vigimot, through its exports.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "test_plane.h"
#include "vigimot.h"

namespace {

using vigimot_test::TestPlane;

using testsupport::kCanary;

// --- bounding box

// The four scans, as written out for the export.
Rect16 TargetByScans(const TestPlane& m) {
    const int w = m.width(), h = m.height();
    int top = h, bottom = 0, left = w, right = 0;
    for (int y = 0; y < h && top == h; ++y)
        for (int x = 0; x < w; ++x)
            if (m.at(x, y)) {
                top = y;
                break;
            }
    for (int k = w * h - 1; k >= 0; --k)
        if (m.at(k % w, k / w)) {
            bottom = k / w;
            break;
        }
    for (int x = 0; x < w && left == w; ++x)
        for (int y = 0; y < h; ++y)
            if (m.at(x, y)) {
                left = x;
                break;
            }
    bool seen = false;
    for (int x = w - 1; x >= 0 && !seen; --x)
        for (int y = h - 1; y >= 0; --y)
            if (m.at(x, y)) {
                right = x;
                seen = true;
                break;
            }
    return Rect16{static_cast<int16_t>(left), static_cast<int16_t>(top),
                  static_cast<int16_t>(right - left), static_cast<int16_t>(bottom - top)};
}

TEST(FindTarget, EmptyMaskGivesTheInvertedFrameAndNotFound) {
    TestPlane mask(640, 480);
    Rect16 target{};
    uint8_t found = kCanary;
    ORBALIN_Find_Target(mask.image(), &target, &found);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(target, (Rect16{640, 480, -640, -480}));
}

TEST(FindTarget, SinglePixelHasExtentsZero) {
    TestPlane mask(31, 17);
    mask.at(30, 16) = 1;  // any non-zero byte is set; this one is the plane's last
    Rect16 target{};
    uint8_t found = 0;
    ORBALIN_Find_Target(mask.image(), &target, &found);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(target, (Rect16{30, 16, 0, 0}));
}

TEST(FindTarget, MatchesTheFourScansOnRandomSparseMasks) {
    std::mt19937 rng(5);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {37, 19}, {640, 480}};
    for (auto [w, h] : sizes) {
        for (int round = 0; round < 30; ++round) {
            TestPlane mask(w, h);
            const int pixels = static_cast<int>(rng() % 4);
            for (int i = 0; i < pixels; ++i) {
                mask.at(static_cast<int>(rng() % w), static_cast<int>(rng() % h)) =
                    static_cast<uint8_t>(1 + rng() % 255);
            }
            Rect16 target{};
            uint8_t found = kCanary;
            ORBALIN_Find_Target(mask.image(), &target, &found);
            const Rect16 expected = TargetByScans(mask);
            EXPECT_EQ(target, expected) << w << "x" << h;
            EXPECT_EQ(found, pixels > 0 ? 1 : 0);
        }
    }
}

TEST(FindTarget, PlaneWithoutBytesFindsNothing) {
    ImageBuf empty{nullptr, 0, 0};
    Rect16 target{};
    uint8_t found = kCanary;
    ORBALIN_Find_Target(&empty, &target, &found);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(target, (Rect16{0, 0, 0, 0}));
}

// --- count alarm

TEST(GetAlarm, EachModeDecidesOnTheCountAtItsEdges) {
    TestPlane mask(20, 3);
    mask.FillRect(0, 0, 10, 1, 7);  // n = 10 set bytes
    struct Case {
        int32_t mode, l1, l2;
        uint8_t expected;
    };
    const Case cases[] = {
        {1, 11, 9, 0},  {1, 10, 9, 1}, {1, 11, 10, 1},     {2, 10, 10, 0},
        {2, 11, 20, 1}, {2, 0, 9, 1},  {2, 0, 65535, 0},   {2, 20, 0, 1},
        {3, 10, 0, 1},  {3, 9, 0, 0},  {4, 9, 0, 1},       {4, 10, 0, 0},
        {5, 11, 0, 1},  {5, 10, 0, 0}, {4, INT_MIN, 0, 1}, {5, INT_MAX, 0, 1},
    };
    for (const Case& c : cases) {
        uint8_t alarm = kCanary;
        ORBALIN_Get_Alarm(mask.image(), c.mode, c.l1, c.l2, &alarm);
        EXPECT_EQ(alarm, c.expected) << "mode " << c.mode << " L1 " << c.l1 << " L2 " << c.l2;
    }
}

TEST(GetAlarm, ModeFourAtZeroAlarmsOnTheFirstSetByte) {
    TestPlane mask(64, 64);
    uint8_t alarm = kCanary;
    ORBALIN_Get_Alarm(mask.image(), 4, 0, 0, &alarm);
    EXPECT_EQ(alarm, 0);
    mask.at(63, 63) = 255;
    ORBALIN_Get_Alarm(mask.image(), 4, 0, 0, &alarm);
    EXPECT_EQ(alarm, 1);
}

TEST(GetAlarm, UnknownModeLeavesTheFlagAlone) {
    TestPlane mask(8, 8, 255);
    for (int32_t mode : {0, 6, 7, -1}) {
        uint8_t alarm = kCanary;
        ORBALIN_Get_Alarm(mask.image(), mode, 0, 0, &alarm);
        EXPECT_EQ(alarm, kCanary) << mode;
    }
}

// --- single-image detector

struct DetectOutput {
    uint8_t alarm = kCanary;
    Rect16 target{-7, -7, -7, -7};
    uint8_t found = kCanary;
};

DetectOutput Detect(TestPlane& cur, TestPlane& ref, TestPlane& work, int32_t threshold,
                    int32_t areaPercent) {
    DetectOutput out;
    ORBALIN_Detect_Motion(cur.image(), ref.image(), work.image(), threshold, areaPercent,
                          &out.alarm, &out.target, &out.found);
    return out;
}

TEST(DetectMotion, IdenticalFramesFindNothing) {
    std::mt19937 rng(6);
    TestPlane cur(640, 480), work(640, 480, kCanary);
    cur.FillRandom(rng);
    work.image()->width = work.image()->height = 3;
    const DetectOutput out = Detect(cur, cur, work, 0, 0);
    EXPECT_EQ(out.found, 0);
    EXPECT_EQ(out.alarm, 0);
    EXPECT_EQ(out.target, (Rect16{640, 480, -640, -480}));
    EXPECT_EQ(work.image()->width, 640);
    EXPECT_EQ(work.image()->height, 480);
    EXPECT_EQ(work.Bytes(), std::vector<uint8_t>(work.bytes(), 0));
}

TEST(DetectMotion, ErosionRemovesASinglePixelAndShrinksBlocks) {
    TestPlane ref(64, 48, 100), work(64, 48);
    {
        TestPlane cur(64, 48, 100);
        cur.at(20, 20) = 255;
        EXPECT_EQ(Detect(cur, ref, work, 10, 0).found, 0);
    }
    {
        TestPlane cur(64, 48, 100);
        cur.FillRect(10, 10, 3, 3, 0);
        const DetectOutput out = Detect(cur, ref, work, 10, 0);
        EXPECT_EQ(out.found, 1);
        EXPECT_EQ(out.target, (Rect16{11, 11, 0, 0}));
        EXPECT_EQ(out.alarm, 0);  // extents of zero never pass the area rule
        EXPECT_EQ(work.at(11, 11), 255);
    }
    {
        TestPlane cur(64, 48, 100);
        cur.FillRect(10, 10, 4, 4, 0);
        const DetectOutput out = Detect(cur, ref, work, 10, 0);
        EXPECT_EQ(out.found, 1);
        EXPECT_EQ(out.target, (Rect16{11, 11, 1, 1}));
        EXPECT_EQ(out.alarm, 1);
    }
}

TEST(DetectMotion, DifferenceEqualToTheThresholdIsNoChange) {
    TestPlane ref(32, 32, 100), work(32, 32);
    TestPlane cur(32, 32, 100);
    cur.FillRect(8, 8, 5, 5, 130);
    EXPECT_EQ(Detect(cur, ref, work, 30, 0).found, 0);
    EXPECT_EQ(Detect(cur, ref, work, 29, 0).found, 1);
}

TEST(DetectMotion, OnlyTheLowSixteenBitsOfTheSlotsCount) {
    TestPlane ref(32, 32, 100), work(32, 32), cur(32, 32, 100);
    cur.FillRect(8, 8, 5, 5, 130);
    // Threshold 29 with junk above: found. Low half 0xFFFF is -1: every byte counts as changed.
    EXPECT_EQ(Detect(cur, ref, work, 0x7FFF0000 | 29, 0).found, 1);
    EXPECT_EQ(Detect(cur, ref, work, 0x12340000 | 30, 0).found, 0);
    const DetectOutput all = Detect(cur, ref, work, 0x0001FFFF, 0);
    EXPECT_EQ(all.target, (Rect16{0, 0, 31, 31}));
    // Area percent 0x10000 is 0 in its low half: the 3x3 eroded target alarms.
    EXPECT_EQ(Detect(cur, ref, work, 29, 0x10000).alarm, 1);
    EXPECT_EQ(Detect(cur, ref, work, 29, 1).alarm, 0);
}

TEST(DetectMotion, AreaRuleIsStrictlyGreater) {
    TestPlane ref(100, 100), work(100, 100);
    {
        TestPlane cur(100, 100);
        cur.FillRect(20, 20, 13, 13, 200);  // eroded extents (10, 10): 10 000 is not > 10 000
        const DetectOutput out = Detect(cur, ref, work, 50, 1);
        EXPECT_EQ(out.target, (Rect16{21, 21, 10, 10}));
        EXPECT_EQ(out.alarm, 0);
    }
    {
        TestPlane cur(100, 100);
        cur.FillRect(20, 20, 13, 14, 200);  // extents (10, 11)
        EXPECT_EQ(Detect(cur, ref, work, 50, 1).alarm, 1);
    }
}

TEST(DetectMotion, LargeAreaPercentNeverAlarmsInsteadOfOverflowing) {
    TestPlane ref(640, 480), cur(640, 480, 255), work(640, 480);
    EXPECT_EQ(Detect(cur, ref, work, 10, 99).alarm, 1);  // 100*639*479 > 307200*99
    EXPECT_EQ(Detect(cur, ref, work, 10, 100).alarm, 0);
    for (int32_t percent : {6991, 7000, 20000, 32767}) {
        EXPECT_EQ(Detect(cur, ref, work, 10, percent).alarm, 0) << percent;
    }
    // A negative percentage lets any found target alarm.
    EXPECT_EQ(Detect(cur, ref, work, 10, -1).alarm, 1);
}

TEST(DetectMotion, SingleRowAndSingleColumnFramesStayInside) {
    {
        TestPlane ref(1, 10), cur(1, 10), work(1, 10);
        cur.FillRect(0, 2, 1, 5, 255);  // rows 2..6 change; erosion keeps 3..5
        const DetectOutput out = Detect(cur, ref, work, 0, 0);
        EXPECT_EQ(out.found, 1);
        EXPECT_EQ(out.target, (Rect16{0, 3, 0, 2}));
    }
    {
        TestPlane ref(10, 1), cur(10, 1, 255), work(10, 1);
        const DetectOutput out = Detect(cur, ref, work, 0, 0);
        EXPECT_EQ(out.target, (Rect16{0, 0, 9, 0}));
        EXPECT_EQ(out.alarm, 0);
    }
}

TEST(DetectMotion, FramesOfDifferentSizesFindNothingAndReadNothing) {
    TestPlane cur(64, 48, 255), ref(64, 47), work(64, 48, kCanary);
    const DetectOutput out = Detect(cur, ref, work, 0, 0);
    EXPECT_EQ(out.found, 0);
    EXPECT_EQ(out.alarm, 0);
    EXPECT_EQ(out.target, (Rect16{-7, -7, -7, -7}));
    EXPECT_EQ(work.Bytes(), std::vector<uint8_t>(work.bytes(), kCanary));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(DetectMotion, FailedScratchAllocationReportsNothingFound) {
    // In a child with a small address-space limit, a frame too large for scratch memory.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = 512ull << 20;
        if (setrlimit(RLIMIT_AS, &limit) != 0) {
            _exit(2);
        }
        // The descriptors claim 32767 x 32767 (1 GiB); no byte may be touched.
        ImageBuf big{nullptr, 32767, 32767};
        uint8_t alarm = kCanary, found = kCanary;
        Rect16 target{1, 2, 3, 4};
        ORBALIN_Detect_Motion(&big, &big, &big, 0, 0, &alarm, &target, &found);
        const bool detectOk = alarm == 0 && found == 0 && target.x == 1;
        MotionRegion region{0, 0, 32767, 32767, 0, 0, 1};
        uint8_t alarms = kCanary, founds = kCanary;
        Point16 centre{5, 5};
        const int32_t n = ORBALIN_Detect_Motion_Multiple(&big, &big, 1, &region, &alarms, &centre,
                                                         &target, &founds);
        const bool multipleOk = n == 1 && alarms == 0 && founds == 0 && centre.x == 5;
        _exit(detectOk && multipleOk ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

// --- region-wise detector

struct RegionOutputs {
    explicit RegionOutputs(size_t n)
        : alarms(n, kCanary),
          centres(n, Point16{-9, -9}),
          targets(n, Rect16{-9, -9, -9, -9}),
          found(n, kCanary) {}
    std::vector<uint8_t> alarms;
    std::vector<Point16> centres;
    std::vector<Rect16> targets;
    std::vector<uint8_t> found;
};

int32_t DetectRegions(TestPlane& cur, TestPlane& ref, int32_t count,
                      const std::vector<MotionRegion>& regions, RegionOutputs& out) {
    return ORBALIN_Detect_Motion_Multiple(cur.image(), ref.image(), count, regions.data(),
                                          out.alarms.data(), out.centres.data(), out.targets.data(),
                                          out.found.data());
}

TEST(DetectMotionMultiple, ZeroOrNegativeCountWritesNothingAndIsReturned) {
    TestPlane cur(64, 48, 255), ref(64, 48);
    const std::vector<MotionRegion> regions(2, MotionRegion{0, 0, 64, 48, 0, 10, 1});
    for (int32_t count : {0, -1, -32768, 0x0000FFFF, 0x7FFF0000}) {
        RegionOutputs out(2);
        const int32_t expected = static_cast<int16_t>(count & 0xFFFF);
        EXPECT_EQ(DetectRegions(cur, ref, count, regions, out), expected) << count;
        EXPECT_EQ(out.alarms, std::vector<uint8_t>(2, kCanary));
        EXPECT_EQ(out.found, std::vector<uint8_t>(2, kCanary));
    }
    // Junk above the low sixteen bits does not change the count.
    RegionOutputs out(2);
    EXPECT_EQ(DetectRegions(cur, ref, 0x7FFF0001, regions, out), 1);
    EXPECT_EQ(out.found[0], 1);
    EXPECT_EQ(out.found[1], kCanary);
}

TEST(DetectMotionMultiple, IdenticalFramesLeaveCentreAndTargetAlone) {
    TestPlane cur(640, 480, 77);
    RegionOutputs out(1);
    const std::vector<MotionRegion> whole{{0, 0, 640, 480, 5, 20, 1}};
    EXPECT_EQ(DetectRegions(cur, cur, 1, whole, out), 1);
    EXPECT_EQ(out.alarms[0], 0);
    EXPECT_EQ(out.found[0], 0);
    EXPECT_EQ(out.centres[0].x, -9);
    EXPECT_EQ(out.targets[0], (Rect16{-9, -9, -9, -9}));
}

TEST(DetectMotionMultiple, ReportsCentreAndTargetInFrameCoordinates) {
    TestPlane ref(640, 480), cur(640, 480);
    // Region at (100, 50); eroded local target (3, 4) with extents (5, 7).
    cur.FillRect(100 + 2, 50 + 3, 8, 10, 200);
    RegionOutputs out(1);
    const std::vector<MotionRegion> region{{100, 50, 60, 60, 0, 20, 1}};
    EXPECT_EQ(DetectRegions(cur, ref, 1, region, out), 1);
    EXPECT_EQ(out.found[0], 1);
    EXPECT_EQ(out.alarms[0], 1);
    EXPECT_EQ(out.centres[0].x, 105);
    EXPECT_EQ(out.centres[0].y, 57);
    EXPECT_EQ(out.targets[0], (Rect16{103, 54, 5, 7}));
}

TEST(DetectMotionMultiple, BorderRuleAlarmsOnlyNearTheRegionBorder) {
    TestPlane ref(200, 200), nearEdge(200, 200), middle(200, 200);
    // Region (50, 50, 100, 100); a 4x4 change erodes to a 2x2 box.
    nearEdge.FillRect(50 + 2, 50 + 40, 4, 4, 255);  // eroded box starts at region column 3
    middle.FillRect(50 + 40, 50 + 40, 4, 4, 255);
    const std::vector<MotionRegion> border{{50, 50, 100, 100, 100, 20, 2}};
    const std::vector<MotionRegion> area{{50, 50, 100, 100, 100, 20, 1}};
    RegionOutputs out(1);
    DetectRegions(nearEdge, ref, 1, border, out);
    EXPECT_EQ(out.found[0], 1);
    EXPECT_EQ(out.targets[0].x, 53);
    EXPECT_EQ(out.alarms[0], 1);
    DetectRegions(middle, ref, 1, border, out);
    EXPECT_EQ(out.found[0], 1);
    EXPECT_EQ(out.alarms[0], 0);
    DetectRegions(nearEdge, ref, 1, area, out);  // the same target is far too small by area
    EXPECT_EQ(out.alarms[0], 0);
}

TEST(DetectMotionMultiple, OtherRulesReportTheTargetButNeverAlarm) {
    TestPlane ref(64, 64), cur(64, 64, 255);
    for (int8_t rule : {0, 3, -1, 127}) {
        RegionOutputs out(1);
        const std::vector<MotionRegion> region{{0, 0, 64, 64, -100, 0, rule}};
        DetectRegions(cur, ref, 1, region, out);
        EXPECT_EQ(out.alarms[0], 0) << int{rule};
        EXPECT_EQ(out.found[0], 1);
        EXPECT_EQ(out.targets[0], (Rect16{0, 0, 63, 63}));
        EXPECT_EQ(out.centres[0].x, 31);
    }
}

TEST(DetectMotionMultiple, ReadsRegionsAsFourteenByteRecordsInArrayOrder) {
    static_assert(sizeof(MotionRegion) == 14);
    static_assert(offsetof(MotionRegion, areaPercent) == 8);
    static_assert(offsetof(MotionRegion, diffThreshold) == 10);
    static_assert(offsetof(MotionRegion, rule) == 12);
    // Three records written byte by byte, as a caller in any language would lay them out.
    auto record = [](int16_t x, int16_t y, int16_t w, int16_t h, int16_t area, int16_t thr,
                     int8_t rule) {
        std::vector<uint8_t> bytes(14, 0);
        const int16_t fields[] = {x, y, w, h, area, thr};
        std::memcpy(bytes.data(), fields, sizeof(fields));
        bytes[12] = static_cast<uint8_t>(rule);
        return bytes;
    };
    std::vector<uint8_t> raw;
    for (const auto& r : {record(0, 0, 100, 100, 0, 20, 1), record(100, 0, 100, 100, 0, 20, 1),
                          record(0, 100, 200, 100, 0, 20, 2)}) {
        raw.insert(raw.end(), r.begin(), r.end());
    }
    std::vector<MotionRegion> regions(3);
    std::memcpy(regions.data(), raw.data(), raw.size());

    TestPlane ref(200, 200), cur(200, 200);
    cur.FillRect(120, 30, 10, 10, 255);  // in the second region only
    cur.FillRect(2, 150, 6, 6, 255);     // near the left border of the third
    RegionOutputs out(3);
    EXPECT_EQ(DetectRegions(cur, ref, 3, regions, out), 3);
    EXPECT_EQ(out.found, (std::vector<uint8_t>{0, 1, 1}));
    EXPECT_EQ(out.alarms, (std::vector<uint8_t>{0, 1, 1}));
    EXPECT_EQ(out.targets[0], (Rect16{-9, -9, -9, -9}));
    EXPECT_EQ(out.targets[1], (Rect16{121, 31, 7, 7}));
    EXPECT_EQ(out.targets[2], (Rect16{3, 151, 3, 3}));
}

TEST(DetectMotionMultiple, RegionAgainstTheFrameEndReadsNoFurther) {
    TestPlane ref(37, 29), cur(37, 29);
    cur.FillRect(30, 22, 7, 7, 255);  // up to the last byte, which lies against a guard page
    RegionOutputs out(1);
    const std::vector<MotionRegion> corner{{27, 19, 10, 10, 0, 20, 1}};
    DetectRegions(cur, ref, 1, corner, out);
    EXPECT_EQ(out.found[0], 1);
    // The block is cut at the region's right and bottom edges, so those columns survive.
    EXPECT_EQ(out.targets[0], (Rect16{31, 23, 5, 5}));
}

TEST(DetectMotionMultiple, RegionOutsideTheFramesFindsNothing) {
    TestPlane ref(64, 48), cur(64, 48, 255);
    const std::vector<MotionRegion> outside{{60, 0, 8, 8, 0, 10, 1},
                                            {0, 44, 8, 8, 0, 10, 1},
                                            {-1, 0, 8, 8, 0, 10, 1},
                                            {0, 0, -8, 8, 0, 10, 1}};
    RegionOutputs out(4);
    EXPECT_EQ(DetectRegions(cur, ref, 4, outside, out), 4);
    EXPECT_EQ(out.found, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(out.alarms, std::vector<uint8_t>(4, 0));

    TestPlane shorter(64, 47);
    RegionOutputs mismatch(1);
    const std::vector<MotionRegion> small{{0, 0, 8, 8, 0, 10, 1}};
    DetectRegions(cur, shorter, 1, small, mismatch);
    EXPECT_EQ(mismatch.found[0], 0);
}

}  // namespace
