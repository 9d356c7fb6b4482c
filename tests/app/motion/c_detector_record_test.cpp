// The detector over the real analysis library, on noisy frames with an object that appears:
// nothing on the first frame or on a still scene, the alarm on the frame the object appears
// in, the threshold strictly exceeded, and silence without the library or its entry.
#include "c_detector_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "grey_plane.h"
#include "yuy2_scene.h"

namespace {

using ovistra::CDetectorRecord;
using ovistra::testing::Yuy2Scene;

constexpr int kW = CDetectorRecord::kWidth;
constexpr int kH = CDetectorRecord::kHeight;

uint32_t Alarm(const CDetectorRecord& record) {
    uint32_t alarm = 7;
    record.QueryAlarm(&alarm);
    return alarm;
}

// The grey level a luma becomes through the detector's conversion.
int GreyOf(int luma) {
    const uint8_t yuy2[4] = {static_cast<uint8_t>(luma), 128, static_cast<uint8_t>(luma), 128};
    uint8_t grey[2];
    ovistra::Yuy2ToGreyPlane(grey, 2, yuy2, 4, 1, 1);
    return grey[0];
}

TEST(CDetectorRecord, AStillSceneStaysQuietAndAnObjectAlarmsOnTheFrameItAppears) {
    CDetectorRecord record(VIGIMOT_LIBRARY);
    ASSERT_EQ(record.availability(), CDetectorRecord::Availability::Ready);
    record.SetFrameRect(0, 0, kW, kH);
    record.SetDiffThreshold(50);
    // The first frame has nothing to be compared with (not even a blank plane).
    record.ProcessFrame(Yuy2Scene(1, 120, 3).data());
    EXPECT_EQ(Alarm(record), 0u);
    for (uint32_t tick = 0; tick < 100; ++tick) {
        record.ProcessFrame(Yuy2Scene(tick + 2, 120, 3).data());
        ASSERT_EQ(Alarm(record), 0u) << tick;
    }
    record.ProcessFrame(Yuy2Scene(200, 120, 3, 240).data());
    EXPECT_EQ(Alarm(record), 1u);
    // Held until the next comparison, which the object standing still ends.
    EXPECT_EQ(Alarm(record), 1u);
    record.ProcessFrame(Yuy2Scene(201, 120, 3, 240).data());
    EXPECT_EQ(Alarm(record), 0u);
}

TEST(CDetectorRecord, OnlyADifferenceAboveTheThresholdCounts) {
    // Luma pairs whose grey levels differ by exactly 240 and by 241.
    int base = -1, exact = -1, above = -1;
    for (int a = 0; a < 256 && above < 0; ++a) {
        for (int b = a; b < 256; ++b) {
            if (GreyOf(b) - GreyOf(a) == 240 && exact < 0) {
                for (int c = b; c < 256; ++c) {
                    if (GreyOf(c) - GreyOf(a) == 241) {
                        base = a, exact = b, above = c;
                        break;
                    }
                }
                break;
            }
        }
    }
    ASSERT_GE(above, 0) << "no luma pair gives grey differences of 240 and 241";
    const struct {
        int object;
        uint32_t alarm;
    } cases[] = {{exact, 0}, {above, 1}};
    for (const auto& c : cases) {
        CDetectorRecord record(VIGIMOT_LIBRARY);
        record.SetFrameRect(0, 0, kW, kH);
        record.SetDiffThreshold(240);
        record.ProcessFrame(Yuy2Scene(1, base, 0).data());
        record.ProcessFrame(Yuy2Scene(1, base, 0, c.object).data());
        EXPECT_EQ(Alarm(record), c.alarm) << "grey difference " << GreyOf(c.object) - GreyOf(base);
    }
}

TEST(CDetectorRecord, WithoutTheLibraryOrItsEntryFramesNeverAlarm) {
    const struct {
        QString path;
        CDetectorRecord::Availability availability;
    } cases[] = {
        {QStringLiteral("/nonexistent/libvigimot.so"), CDetectorRecord::Availability::NoLibrary},
        {QStringLiteral(UIPACK_LIBRARY), CDetectorRecord::Availability::NoEntry},
    };
    for (const auto& c : cases) {
        CDetectorRecord record(c.path);
        EXPECT_EQ(record.availability(), c.availability);
        record.SetFrameRect(0, 0, kW, kH);
        record.ProcessFrame(Yuy2Scene(1, 20, 0).data());
        record.ProcessFrame(Yuy2Scene(2, 20, 0, 250).data());
        EXPECT_EQ(Alarm(record), 0u);
    }
}

}  // namespace
