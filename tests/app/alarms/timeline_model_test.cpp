// The timeline's model from a table: which recordings of a day or a zoomed hour become which
// bars, where a point of the strip lands, and the alarms' marks.
#include "timeline_model.h"

#include <gtest/gtest.h>

#include <optional>

namespace ovistra::alarms {
namespace {

const QDate kDay(2026, 3, 10);
constexpr double kWidth = 1440;  // a minute a pixel over a whole day

QDateTime At(int day, int hour, int minute) {
    return QDateTime(kDay.addDays(day), QTime(hour, minute));
}

TimelineEntry Entry(int row, int camera, RecordingKind kind, const QDateTime& start,
                    const QDateTime& end) {
    return {camera, kind, ToWallMs(start), ToWallMs(end), row};
}

class TimelineModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QDateTime now = At(1, 0, 10);
        model.SetEntries(
            {
                Entry(0, 1, RecordingKind::Hand, At(0, 8, 0), At(0, 9, 0)),
                Entry(1, 2, RecordingKind::Schedule, At(-1, 23, 30), At(0, 0, 30)),
                Entry(2, 3, RecordingKind::Alarm, At(0, 23, 50), {}),  // still running
                Entry(3, 1, RecordingKind::Hand, At(1, 8, 0), At(1, 9, 0)),
                Entry(4, 4, RecordingKind::Schedule, At(-20, 0, 0), At(25, 0, 0)),
                Entry(5, 0, RecordingKind::Hand, At(0, 10, 0), At(0, 11, 0)),  // no such camera
                Entry(6, 1, RecordingKind::Alarm, At(0, 8, 30), At(0, 8, 45)),
                Entry(7, 2, RecordingKind::Hand, QDateTime(), At(0, 10, 0)),
                Entry(8, 2, RecordingKind::Hand, At(0, 12, 0), At(0, 11, 0)),  // clock set back
            },
            now);
        model.ShowDay(kDay);
    }
    std::optional<int> RowAt(double x, int camera) const {
        const TimelineBar* bar = model.BarAt(x, camera, kWidth);
        return bar ? std::optional(bar->row) : std::nullopt;
    }

    TimelineModel model;
};

TEST_F(TimelineModelTest, ADayShowsItsRecordingsClippedToMidnightAndRunningOnesEndingNow) {
    struct Expected {
        int row, camera;
        double fromX, toX;
        bool running;
    };
    const Expected expected[] = {
        {0, 1, 480, 540, false},  {6, 1, 510, 525, false}, {1, 2, 0, 30, false},
        {8, 2, 720, 720, false},  {2, 3, 1430, 1440, true}, {4, 4, 0, 1440, false},
    };
    ASSERT_EQ(model.bars().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TimelineBar& bar = model.bars()[i];
        const double scale = kWidth / static_cast<double>(model.windowMs());
        SCOPED_TRACE(i);
        EXPECT_EQ(bar.row, expected[i].row);
        EXPECT_EQ(bar.camera, expected[i].camera);
        EXPECT_DOUBLE_EQ(static_cast<double>(bar.fromMs) * scale, expected[i].fromX);
        EXPECT_DOUBLE_EQ(static_cast<double>(bar.toMs) * scale, expected[i].toX);
        EXPECT_EQ(bar.running, expected[i].running);
    }
    // The whole recording stays known beside its clipped bar.
    EXPECT_EQ(FromWallMs(model.bars()[2].start), At(-1, 23, 30));
    EXPECT_EQ(FromWallMs(model.bars()[4].end), At(1, 0, 10));

    model.ShowDay(kDay.addDays(1));
    std::vector<int> rows;
    for (const TimelineBar& bar : model.bars()) {
        rows.push_back(bar.row);
    }
    EXPECT_EQ(rows, (std::vector<int>{3, 2, 4}));
    model.ShowDay(kDay.addDays(30));
    EXPECT_TRUE(model.bars().empty());
}

TEST_F(TimelineModelTest, PointsMapToMomentsAndToTheRecordingCoveringThem) {
    const struct {
        double x;
        int camera;
        QDateTime moment;
        std::optional<int> row;
    } clicks[] = {
        {480.5, 1, At(0, 8, 0).addSecs(30), 0},
        {520, 1, At(0, 8, 40), 6},  // the later of two overlapping wins
        {530, 1, At(0, 8, 50), 0},
        {540, 1, At(0, 9, 0), std::nullopt},  // the end belongs to nothing
        {10, 2, At(0, 0, 10), 1},
        {720, 2, At(0, 12, 0), std::nullopt},
        {1439.9, 3, At(0, 23, 59).addMSecs(54000), 2},
        {700, 4, At(0, 11, 40), 4},
        {-50, 1, At(0, 0, 0), std::nullopt},
        {5000, 3, At(1, 0, 0).addMSecs(-1), 2},
        {100, 0, At(0, 1, 40), std::nullopt},
        {100, 5, At(0, 1, 40), std::nullopt},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.x);
        EXPECT_EQ(model.MomentAt(click.x, kWidth), click.moment);
        EXPECT_EQ(RowAt(click.x, click.camera), click.row);
    }
    EXPECT_DOUBLE_EQ(model.XOf(At(0, 12, 30), kWidth), 750);
    EXPECT_DOUBLE_EQ(model.XOf(model.MomentAt(333, kWidth), kWidth), 333);
}

TEST_F(TimelineModelTest, AZoomedHourStaysInsideItsDayAndMapsOverTheWholeWidth) {
    const struct {
        QDateTime around, start;
    } zooms[] = {
        {At(0, 8, 10), At(0, 7, 40)},
        {At(0, 0, 10), At(0, 0, 0)},
        {At(0, 23, 50), At(0, 23, 0)},
    };
    for (const auto& zoom : zooms) {
        model.ZoomAround(zoom.around);
        EXPECT_TRUE(model.zoomed());
        EXPECT_EQ(model.windowStart(), zoom.start);
        EXPECT_EQ(model.windowMs(), TimelineModel::kZoomMs);
    }
    model.ZoomAround(At(0, 8, 10));
    // 07:40..08:40 over 1440 pixels: 24 pixels a minute.
    EXPECT_EQ(RowAt(24 * 25, 1), 0);   // 08:05
    EXPECT_EQ(RowAt(24 * 55, 1), 6);   // 08:35
    EXPECT_EQ(RowAt(24 * 10, 1), std::nullopt);
    EXPECT_EQ(model.MomentAt(24 * 20 + 12, kWidth), At(0, 8, 0).addSecs(30));
    model.ShowDay(kDay);
    EXPECT_FALSE(model.zoomed());
    EXPECT_EQ(model.bars().size(), 6u);
}

TEST(TimelineModelAlarms, MarksTheDaysAlarmStartsWithTheLengthTheirEndsGive) {
    using Kind = AlarmLogEntry::Kind;
    auto line = [](Kind kind, QDateTime when, int camera) {
        return AlarmLogEntry{kind, std::move(when), camera, {}, {}};
    };
    TimelineModel model;
    model.SetAlarms({
        line(Kind::End, At(0, 8, 7), 2),  // logged out of order
        line(Kind::Start, At(0, 8, 5), 2),
        line(Kind::Start, At(0, 12, 0), 3),  // no end logged
        line(Kind::End, At(0, 9, 0), 1),     // an end with no start
        line(Kind::Start, At(0, 13, 0), 9),
        line(Kind::Start, QDateTime(), 1),
        line(Kind::Start, At(1, 1, 0), 4),
        line(Kind::Start, At(0, 23, 59), 4),
        line(Kind::End, At(1, 0, 1), 4),
    });
    model.ShowDay(kDay);
    ASSERT_EQ(model.marks().size(), 3u);
    EXPECT_EQ(model.marks()[0].camera, 2);
    EXPECT_EQ(model.marks()[0].atMs, (8 * 60 + 5) * 60000);
    EXPECT_EQ(model.marks()[0].lengthMs, 120000);
    EXPECT_EQ(model.marks()[1].camera, 3);
    EXPECT_EQ(model.marks()[1].lengthMs, -1);
    EXPECT_EQ(model.marks()[2].lengthMs, 120000);  // its end is past midnight
    model.ZoomAround(At(0, 12, 10));
    ASSERT_EQ(model.marks().size(), 1u);
    EXPECT_EQ(model.marks()[0].atMs, 20 * 60000);  // 11:40..12:40
}

}  // namespace
}  // namespace ovistra::alarms
