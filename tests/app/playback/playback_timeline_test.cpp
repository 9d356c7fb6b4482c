// The timeline widget on the offscreen platform: what a day looks like, and what the pointer
// hovering, clicking, double-clicking and turning the wheel does.
#include "playback_timeline.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace ovistra {
namespace {

using alarms::RecordingKind;

const QDate kDay(2026, 5, 4);

QDateTime At(int hour, int minute) {
    return QDateTime(kDay, QTime(hour, minute));
}

class PlaybackTimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        timeline.resize(900, 140);
        timeline.SetTexts({{"Cam 1", "Cam 2", "Cam 3", "Cam 4"},
                           {"Manual", "Schedule", "Alarm"},
                           "Alarm moment",
                           "running",
                           "%1 %2: %3 %4-%5"});
        using alarms::ToWallMs;
        timeline.SetEntries(
            {{1, RecordingKind::Hand, ToWallMs(At(2, 0)), ToWallMs(At(5, 0)), 0},
             {2, RecordingKind::Schedule, ToWallMs(At(8, 0)), ToWallMs(At(12, 0)), 1},
             {3, RecordingKind::Alarm, ToWallMs(At(14, 0)), alarms::kNoMoment, 2}},
            At(18, 0));
        timeline.SetAlarms({{alarms::AlarmLogEntry::Kind::Start, At(20, 0), 4, {}, {}}});
        timeline.ShowDay(kDay);
    }
    QRgb Pixel(const QImage& image, const QPoint& point) const {
        return image.pixel(point) & 0xffffff;
    }

    PlaybackTimeline timeline;
};

TEST_F(PlaybackTimelineTest, PaintsEachKindInItsColourAndTheAlarmMark) {
    const QImage image = timeline.grab().toImage();
    const struct {
        int camera;
        QDateTime moment;
        QColor colour;
    } places[] = {
        {1, At(3, 30), PlaybackTimeline::KindColour(RecordingKind::Hand)},
        {2, At(10, 0), PlaybackTimeline::KindColour(RecordingKind::Schedule)},
        {3, At(16, 0), PlaybackTimeline::KindColour(RecordingKind::Alarm)},
        {4, At(20, 0), PlaybackTimeline::AlarmColour()},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.camera);
        EXPECT_EQ(Pixel(image, timeline.PointOf(place.camera, place.moment)),
                  place.colour.rgb() & 0xffffff);
    }
    // A running recording ends now, and nothing is drawn where nothing was recorded.
    const QList<QRgb> drawn = {
        PlaybackTimeline::KindColour(RecordingKind::Hand).rgb() & 0xffffff,
        PlaybackTimeline::KindColour(RecordingKind::Schedule).rgb() & 0xffffff,
        PlaybackTimeline::KindColour(RecordingKind::Alarm).rgb() & 0xffffff,
        PlaybackTimeline::AlarmColour().rgb() & 0xffffff};
    for (const auto& [camera, moment] : {std::pair(1, At(6, 0)), std::pair(3, At(19, 0)),
                                          std::pair(2, At(13, 0)), std::pair(4, At(21, 0))}) {
        EXPECT_FALSE(drawn.contains(Pixel(image, timeline.PointOf(camera, moment)))) << camera;
    }
}

TEST_F(PlaybackTimelineTest, HoverClicksAndZoomAnswerWhatIsUnderThePointer) {
    QSignalSpy play(&timeline, &PlaybackTimeline::playRequested);
    QSignalSpy nothing(&timeline, &PlaybackTimeline::nothingAt);
    QSignalSpy hovered(&timeline, &PlaybackTimeline::hovered);

    const QPoint onSchedule = timeline.PointOf(2, At(9, 0));
    const QRegion dirty = timeline.HoverAt(onSchedule);
    // Only the hover line is repainted.
    EXPECT_LE(dirty.boundingRect().width(), 3);
    EXPECT_TRUE(dirty.contains(onSchedule));
    ASSERT_EQ(hovered.size(), 1);
    EXPECT_TRUE(hovered[0][0].toString().endsWith("Cam 2: Schedule 08:00:00-12:00:00"))
        << hovered[0][0].toString().toStdString();
    timeline.HoverAt(timeline.PointOf(3, At(15, 0)));
    EXPECT_TRUE(hovered[1][0].toString().endsWith("Alarm 14:00:00-running"));
    const QImage image = timeline.grab().toImage();
    const QPoint line = timeline.PointOf(4, At(15, 0));
    EXPECT_EQ(Pixel(image, line), Pixel(image, line + QPoint(0, -30)));
    EXPECT_NE(Pixel(image, line), Pixel(image, line + QPoint(3, 0)));

    QTest::mouseClick(&timeline, Qt::LeftButton, {}, onSchedule);
    ASSERT_EQ(play.size(), 1);
    EXPECT_EQ(play[0][0].toInt(), 1);
    const QDateTime moment = play[0][1].toDateTime();
    EXPECT_LE(std::abs(moment.secsTo(At(9, 0))), 24 * 3600 / 830);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, timeline.PointOf(1, At(7, 0)));
    ASSERT_EQ(nothing.size(), 1);
    EXPECT_EQ(nothing[0][0].toInt(), 1);
    EXPECT_EQ(play.size(), 1);

    QTest::mouseDClick(&timeline, Qt::LeftButton, {}, onSchedule);
    EXPECT_TRUE(timeline.model().zoomed());
    EXPECT_LE(std::abs(timeline.model().windowStart().secsTo(At(8, 30))), 120);
    // Zoomed in, a click lands within seconds of the moment aimed at.
    const qsizetype played = play.size();
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, timeline.PointOf(2, At(8, 45)));
    ASSERT_EQ(play.size(), played + 1);
    EXPECT_LE(std::abs(play.back()[1].toDateTime().secsTo(At(8, 45))), 5);

    const QPointF centre = QPointF(timeline.rect().center());
    QWheelEvent out(centre, timeline.mapToGlobal(centre), {}, QPoint(0, -120), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
    QApplication::sendEvent(&timeline, &out);
    EXPECT_FALSE(timeline.model().zoomed());
    EXPECT_EQ(timeline.model().day(), kDay);
}

}  // namespace
}  // namespace ovistra
