// The playback speeds as presses give them, where a jump lands in a recording, and the clock
// time of a place in a file of it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

TEST(PlaybackJump, MomentsLandInTheFileThatHoldsThemOrAreToldRecordedOver) {
    QTemporaryDir folder;
    RecordInfo grown;  // three files in 80 minutes, never reused
    grown.startDate = "26/11/30";
    grown.startTime = "23:50:00";
    grown.endDate = "26/12/01";
    grown.endTime = "01:10:00";
    grown.lastIndex = 2;
    RecordInfo single = grown;
    single.lastIndex = 0;
    RecordInfo wrapped = grown;  // three files in 130 minutes: the first two passes are gone
    wrapped.startTime = "23:00:00";
    // Still being written: no last index yet, its followers in the folder tell the set.
    RecordInfo running = wrapped;
    running.path = folder.filePath("261130_230000.avi");
    running.endDate = RecordInfo::kRecordingEndDate;
    running.lastIndex = 0;
    RecordInfo runningGrown = running;  // 60 minutes, its second file being written
    runningGrown.path = folder.filePath("261201_001000.avi");
    runningGrown.startDate = "26/12/01";
    runningGrown.startTime = "00:10:00";
    for (const char* name : {"261130_230000.avi", "261130_2300001.avi", "261130_2300002.avi",
                             "261201_001000.avi", "261201_0010001.avi"}) {
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
    }
    const QDateTime now(QDate(2026, 12, 1), QTime(1, 10));
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
        {&grown, at(30, 23, 49, 59), W::Before, 0, 0},
        {&grown, at(1, 0, 20, 30), W::Inside, 1, 30},  // across the month's end
        {&grown, at(1, 1, 10, 0), W::Inside, 2, 1200},
        {&grown, at(1, 1, 10, 1), W::After, 0, 0},
        {&single, at(1, 1, 0, 0), W::Inside, 0, 4200},  // one file however long
        {&wrapped, at(30, 23, 10, 0), W::RecordedOver, 0, 0},
        {&wrapped, at(30, 23, 59, 59), W::RecordedOver, 0, 0},
        {&wrapped, at(1, 0, 0, 0), W::Inside, 2, 0},  // the oldest footage still kept
        {&wrapped, at(1, 0, 45, 0), W::Inside, 0, 900},
        {&wrapped, at(1, 1, 5, 0), W::Inside, 1, 300},
        {&wrapped, at(1, 1, 10, 0), W::Inside, 1, 600},  // the end is in the file written last
        {&running, at(30, 23, 40, 0), W::RecordedOver, 0, 0},
        {&running, at(1, 0, 45, 0), W::Inside, 0, 900},
        {&runningGrown, at(1, 0, 50, 0), W::Inside, 1, 600},
    };
    for (const auto& c : cases) {
        const JumpTarget target = LocateMoment(*c.entry, c.moment, now);
        const std::string name =
            (c.entry->startTime + " " + c.moment.toString(Qt::ISODate) + " " + c.entry->endDate)
                .toStdString();
        EXPECT_EQ(target.where, c.where) << name;
        EXPECT_EQ(target.fileIndex, c.file) << name;
        EXPECT_DOUBLE_EQ(target.offsetSeconds, c.offset) << name;
        // The clock beside the slider reads the moment back from the same file and offset.
        if (c.where == W::Inside) {
            EXPECT_EQ(MomentInSet(*c.entry, c.file, c.offset, now), c.moment) << name;
        }
    }
    EXPECT_FALSE(MomentInSet(RecordInfo{}, 0, 1.0, now).isValid());
}

}  // namespace
}  // namespace ovistra
