// The playback speeds as presses give them, and where a jump lands in a recording.
#include <gtest/gtest.h>

#include "playback_jump.h"
#include "playback_speeds.h"

namespace ovistra {
namespace {

TEST(PlaybackSpeeds, EachCycleGivesItsRatesLabelsAndSteps) {
    PlaybackSpeeds speeds;
    const struct {
        PlaybackSpeed (PlaybackSpeeds::*press)();
        double rate;
        const char* label;
        uint32_t stepMs;
    } presses[] = {
        {&PlaybackSpeeds::StartFast, 2, "2x", 0},
        {&PlaybackSpeeds::NextFast, 3, "3x", 0},
        {&PlaybackSpeeds::NextFast, 4, "4x", 0},
        {&PlaybackSpeeds::NextFast, 1, "", 0},
        {&PlaybackSpeeds::NextFast, 2, "2x", 0},
        {&PlaybackSpeeds::StartSlow, 0.5, "1/2x", 0},
        {&PlaybackSpeeds::NextSlow, 1 / 3.0, "1/3x", 0},
        {&PlaybackSpeeds::NextSlow, 0.25, "1/4x", 0},
        {&PlaybackSpeeds::NextSlow, 1, "1x", 0},
        {&PlaybackSpeeds::StartReverse, 1, "<-1x", 1000},
        {&PlaybackSpeeds::NextReverse, 1, "<-2x", 250},
        {&PlaybackSpeeds::NextReverse, 1, "<-3x", 166},
        {&PlaybackSpeeds::NextReverse, 1, "<-4x", 125},
        {&PlaybackSpeeds::NextReverse, 1, "<-1x", 500},
        {&PlaybackSpeeds::NextReverse, 1, "<-2x", 250},
        {&PlaybackSpeeds::StartReverse, 1, "<-1x", 1000},
    };
    int n = 0;
    for (const auto& p : presses) {
        const PlaybackSpeed speed = (speeds.*p.press)();
        EXPECT_DOUBLE_EQ(speed.rate, p.rate) << n;
        EXPECT_EQ(speed.label, p.label) << n;
        EXPECT_EQ(speed.stepMs, p.stepMs) << n;
        ++n;
    }
    EXPECT_EQ(speeds.reverseIndex(), 1);
    EXPECT_EQ(speeds.ReverseStepFrom(0), 0);
    speeds.NextReverse();
    EXPECT_EQ(speeds.ReverseStepFrom(1), 0);
    EXPECT_EQ(speeds.ReverseStepFrom(300), 298);
}

TEST(PlaybackJump, MomentsLandInTheFileThatCoversThem) {
    RecordInfo set;
    set.startDate = "26/11/30";
    set.startTime = "23:50:00";
    set.endDate = "26/12/01";
    set.endTime = "01:10:00";
    set.lastIndex = 2;
    RecordInfo single = set;
    single.lastIndex = 0;
    RecordInfo running = set;
    running.endDate = RecordInfo::kRecordingEndDate;
    const QDateTime now(QDate(2026, 12, 1), QTime(0, 30));
    auto at = [](int day, int h, int m, int s) {
        return QDateTime(QDate(2026, day == 30 ? 11 : 12, day), QTime(h, m, s));
    };
    using W = JumpTarget::Where;
    const struct {
        const RecordInfo* entry;
        QDateTime moment;
        W where;
        int file;
        double offset;
    } cases[] = {
        {&set, at(30, 23, 49, 59), W::Before, 0, 0},    {&set, at(30, 23, 50, 0), W::Inside, 0, 0},
        {&set, at(1, 0, 20, 30), W::Inside, 1, 30},  // across the month's end
        {&set, at(1, 1, 10, 0), W::Inside, 2, 1200},    {&set, at(1, 1, 10, 1), W::After, 0, 0},
        {&single, at(1, 1, 0, 0), W::Inside, 0, 4200},   // one file however long
        {&running, at(1, 0, 29, 0), W::Inside, 1, 540},  // still being written: ends now
        {&running, at(1, 0, 31, 0), W::After, 0, 0},
    };
    for (const auto& c : cases) {
        const JumpTarget target = LocateMoment(*c.entry, c.moment, now);
        const std::string name = c.moment.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(target.where, c.where) << name;
        EXPECT_EQ(target.fileIndex, c.file) << name;
        EXPECT_DOUBLE_EQ(target.offsetSeconds, c.offset) << name;
    }
}

}  // namespace
}  // namespace ovistra
