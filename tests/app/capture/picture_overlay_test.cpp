// What a live picture shows over itself, painted into an image: each element only while its
// state says so, a badge that reads on any scene, nothing outside the picture, and a repaint
// asked for only when what is shown changes.
#include "picture_overlay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <functional>

namespace {

using ovistra::PictureOverlay;

const QColor kScene(96, 112, 128);

QImage Painted(const PictureOverlay& overlay, QRect area, QSize canvas = {320, 240},
               QColor scene = kScene) {
    QImage image(canvas, QImage::Format_RGB32);
    image.fill(scene);
    QPainter painter(&image);
    overlay.Paint(painter, area);
    return image;
}

int Count(const QImage& image, QRect region, const std::function<bool(QColor)>& wanted) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            count += wanted(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool Light(QColor c) {
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}
bool Dark(QColor c) {
    return c.red() < 60 && c.green() < 60 && c.blue() < 60;
}
bool BadgeRed(QColor c) {
    return c == QColor(204, 0, 0);
}

bool BorderAllRed(const QImage& image, QRect area) {
    for (int i = 0; i <= 8; ++i) {
        const int x = area.left() + (area.width() - 1) * i / 8;
        const int y = area.top() + (area.height() - 1) * i / 8;
        for (QPoint p : {QPoint(x, area.top()), QPoint(x, area.bottom()), QPoint(area.left(), y),
                         QPoint(area.right(), y)}) {
            if (image.pixelColor(p) != QColor(255, 0, 0)) {
                return false;
            }
        }
    }
    return true;
}

PictureOverlay Overlay(bool lit, bool recording, bool fullScreen, bool locked) {
    PictureOverlay overlay;
    overlay.SetRecordingBadge("REC");
    overlay.SetCaption("Camera II (Gate)");  // shown in full screen only, as is the clock
    overlay.SetClock("2026-12-09  15:04:05");
    overlay.SetAlarmLit(lit);
    overlay.SetRecording(recording);
    overlay.SetFullScreen(fullScreen);
    overlay.SetLockBanner(locked ? "Locked" : "");
    return overlay;
}

TEST(PictureOverlay, PaintsEachElementOnlyWhileItsStateSaysSo) {
    const QRect area(0, 0, 320, 240);
    for (int mask = 0; mask < 16; ++mask) {
        const bool lit = mask & 1, recording = mask & 2, fullScreen = mask & 4, locked = mask & 8;
        SCOPED_TRACE(mask);
        const QImage image = Painted(Overlay(lit, recording, fullScreen, locked), area);
        if (mask == 0) {
            EXPECT_EQ(image, Painted(PictureOverlay(), area));
        }
        EXPECT_EQ(BorderAllRed(image, area), lit);
        const QRect topRight(160, 0, 160, 60);
        EXPECT_EQ(Count(image, topRight, BadgeRed) > 100, recording);
        EXPECT_EQ(Count(image, topRight, Light) > 20, recording) << "the badge's word";
        // The band: the caption on the left, the clock on the right.
        EXPECT_EQ(Count(image, QRect(12, 216, 296, 16), Dark) > 2500, fullScreen);
        EXPECT_EQ(Count(image, QRect(12, 216, 130, 16), Light) > 20, fullScreen);
        EXPECT_EQ(Count(image, QRect(180, 216, 128, 16), Light) > 20, fullScreen);
        EXPECT_EQ(Count(image, QRect(20, 100, 280, 40), Dark) > 3000, locked);
        EXPECT_EQ(Count(image, QRect(20, 100, 280, 40), Light) > 50, locked) << "its word";
    }
}

TEST(PictureOverlay, TheRecordingBadgeIsWhiteOnItsOwnRedOnAnyScene) {
    for (QColor scene : {QColor(Qt::white), QColor(Qt::red), QColor(Qt::black)}) {
        SCOPED_TRACE(scene.name().toStdString());
        const QImage image =
            Painted(Overlay(false, true, false, false), QRect(0, 0, 320, 240), {320, 240}, scene);
        QRect badge;
        for (int y = 0; y < 60; ++y) {
            for (int x = 160; x < 320; ++x) {
                badge |= BadgeRed(image.pixelColor(x, y)) ? QRect(x, y, 1, 1) : QRect();
            }
        }
        ASSERT_GT(badge.width(), 20);
        const QRect word(badge.left() + badge.width() / 3, badge.top() + badge.height() / 4,
                         badge.width() / 2, badge.height() / 2);
        EXPECT_GT(Count(image, word, Light), 15);
        EXPECT_GT(Count(image, word, BadgeRed), 15);
    }
}

TEST(PictureOverlay, StaysInsideItsPictureAtAnySize) {
    PictureOverlay overlay = Overlay(true, true, true, true);
    overlay.SetCaption(QString(300, QChar('W')));
    overlay.SetLockBanner(QString(300, QChar('L')));
    const QSize canvas(1100, 860);
    for (QSize size :
         {QSize(0, 0), QSize(1, 1), QSize(2, 3), QSize(30, 20), QSize(120, 90), QSize(1024, 768)}) {
        SCOPED_TRACE(std::to_string(size.width()));
        const QRect area(QPoint(37, 41), size);
        QImage outside = Painted(overlay, area, canvas);
        EXPECT_EQ(size.isEmpty() || BorderAllRed(outside, area), true);
        QPainter(&outside).fillRect(area, kScene);
        EXPECT_EQ(outside, Painted(PictureOverlay(), area, canvas));
    }
}

TEST(PictureOverlay, AsksForARepaintOnlyWhenWhatItShowsChanges) {
    PictureOverlay overlay;
    int repaints = 0;
    overlay.SetChangedCallback([&] { ++repaints; });
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { overlay.SetAlarmLit(true), overlay.SetAlarmLit(true); }, 1},
        {[&] { overlay.SetRecording(true); }, 0},  // no badge word yet
        {[&] { overlay.SetRecordingBadge("REC"); }, 1},
        {[&] { overlay.SetClock("15:04:05"), overlay.SetCaption("Camera I"); }, 0},
        {[&] { overlay.SetFullScreen(true); }, 1},
        {[&] { overlay.SetClock("15:04:06"), overlay.SetClock("15:04:06"); }, 1},
        {[&] { overlay.SetLockBanner("Locked"), overlay.SetLockBanner("Locked"); }, 1},
        {[&] { overlay.SetLockBanner(""); }, 1},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const int before = repaints;
        steps[i].first();
        EXPECT_EQ(repaints - before, steps[i].second) << "step " << i;
    }
}

}  // namespace
