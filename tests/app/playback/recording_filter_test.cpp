// The playback dialog's filters against recording list entries: camera, kind, a day and a
// minute a recording spans, and the ranges its start lies in, with their text-compared edges.
#include "recording_filter.h"

#include <gtest/gtest.h>

namespace ovistra {
namespace {

RecordInfo Entry(const char* startDate, const char* startTime, const char* endDate,
                 const char* endTime) {
    RecordInfo e;
    e.path = "/rec/Camera2/261208_142959.avi";
    e.camera = "2";
    e.kind = "Alarm";
    e.startDate = startDate;
    e.startTime = startTime;
    e.endDate = endDate;
    e.endTime = endTime;
    return e;
}

TEST(RecordingFilter, EachActiveFilterDecidesWithItsEdgesIncluded) {
    const RecordInfo spanning = Entry("26/12/08", "14:29:59", "26/12/08", "14:31:10");
    const RecordInfo lateStart = Entry("26/12/08", "14:30:05", "26/12/08", "14:40:00");
    const RecordInfo running = Entry("26/12/07", "23:59:00", "5000", "00:00:00");
    const QDate dec8(2026, 12, 8), dec7(2026, 12, 7);
    const auto minutes = std::pair{QTime(14, 0), QTime(14, 30)};
    auto with = [](auto set) {
        RecordingFilter filter;
        set(filter);
        return filter;
    };
    const struct {
        const char* name;
        RecordingFilter filter;
        bool spanning, lateStart, running;
    } cases[] = {
        {"no filter", RecordingFilter{}, true, true, true},
        {"camera 2", with([](auto& f) { f.camera = 2; }), true, true, true},
        {"camera 3", with([](auto& f) { f.camera = 3; }), false, false, false},
        {"kind", with([](auto& f) { f.kind = "Alarm"; }), true, true, true},
        {"other kind", with([](auto& f) { f.kind = "Schedule"; }), false, false, false},
        // A running recording ends in "5000", after every day.
        {"day", with([&](auto& f) { f.day = dec8; }), true, true, true},
        {"day before", with([&](auto& f) { f.day = dec7; }), false, false, true},
        // Cut to minutes, a start at 14:30:05 is within 14:30.
        {"minute spanned", with([](auto& f) { f.moment = QTime(14, 30); }), true, true, false},
        {"start minute", with([](auto& f) { f.moment = QTime(14, 29); }), true, false, false},
        {"start days", with([&](auto& f) {
             f.startDays = std::pair{dec8, dec8};
         }),
         true, true, false},
        {"start times", with([&](auto& f) { f.startTimes = minutes; }), true, false, false},
        {"camera and day", with([&](auto& f) { f.camera = 2, f.day = dec7; }), false, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.filter.Accepts(spanning), c.spanning) << c.name;
        EXPECT_EQ(c.filter.Accepts(lateStart), c.lateStart) << c.name;
        EXPECT_EQ(c.filter.Accepts(running), c.running) << c.name;
    }
}

}  // namespace
}  // namespace ovistra
