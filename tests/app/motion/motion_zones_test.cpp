#include "motion_zones.h"

#include <gtest/gtest.h>

using ovistra::FormatMotionZones;
using ovistra::ParseMotionZones;

TEST(MotionZones, StoredTextReadsAsClippedZonesAndBadEntriesArePassedOver) {
    struct Case {
        const char* stored;
        const char* readBack;
    } const cases[] = {
        {"", ""},
        {"10,20,100,50", "10,20,100,50"},
        {" 10, 20 ,100,50 ;;0,0,640,480", "10,20,100,50;0,0,640,480"},
        {"600,400,100,100", "600,400,40,80"},       // clipped to the picture
        {"-50,-50,100,100", "0,0,50,50"},
        {"700,10,10,10;0,0,0,10;5,5,-3,4", ""},     // outside, zero-sized, negative
        {"1,2,3;a,b,c,d;1,2,3,4,5;0,0,2147483647,2147483647;7,7,7,7", "7,7,7,7"},
        {"0,0,10,10;0,0,10,10;5,5,10,10;1,1,1,1;2,2,2,2", "0,0,10,10;0,0,10,10;5,5,10,10;1,1,1,1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMotionZones(ParseMotionZones(c.stored)), c.readBack) << c.stored;
    }
    QString fifty;
    for (int i = 0; i < 50; ++i) {
        fifty += QStringLiteral("%1,0,10,10;").arg(i);
    }
    EXPECT_EQ(ParseMotionZones(fifty).size(), 4u);
}
