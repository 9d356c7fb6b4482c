// What a live picture shows over itself, painted into an image: each element only while its
// state says so, readable on any scene, never outside the picture, and a repaint asked for only
// when what is shown changes.
#include "picture_overlay.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <functional>

namespace {

using ovistra::PictureOverlay;

const QColor kScene(96, 112, 128);
const QColor kAlarmRed(255, 0, 0);
const QColor kBadgeRed(204, 0, 0);

QImage Scene(QSize size, QColor colour = kScene) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage Painted(const PictureOverlay& overlay, QImage image, QRect area) {
    QPainter painter(&image);
    overlay.Paint(painter, area);
    return image;
}

int Count(const QImage& image, QRect region, const std::function<bool(QColor)>& wanted) {
    int count = 0;
    region &= image.rect();
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
    return c == kBadgeRed;
}

// Every point of the picture's outline is alarm red.
bool BorderAllRed(const QImage& image, QRect area) {
    for (int i = 0; i <= 8; ++i) {
        const int x = area.left() + (area.width() - 1) * i / 8;
        const int y = area.top() + (area.height() - 1) * i / 8;
        for (QPoint p : {QPoint(x, area.top()), QPoint(x, area.bottom()), QPoint(area.left(), y),
                         QPoint(area.right(), y)}) {
            if (image.pixelColor(p) != kAlarmRed) {
                return false;
            }
        }
    }
    return true;
}

TEST(PictureOverlay, PaintsEachElementOnlyWhileItsStateSaysSo) {
    struct Case {
        const char* name;
        std::function<void(PictureOverlay&)> set;
        bool border, badge, band, banner;
    };
    const auto fullScreenTexts = [](PictureOverlay& o) {
        o.SetCaption("Camera II (Gate)");
        o.SetClock("2026-12-09  15:04:05");
    };
    const Case cases[] = {
        {"nothing", [](PictureOverlay&) {}, false, false, false, false},
        {"alarm lit", [](PictureOverlay& o) { o.SetAlarmLit(true); }, true, false, false, false},
        {"alarm blinked off",
         [](PictureOverlay& o) {
             o.SetAlarmLit(true);
             o.SetAlarmLit(false);
         },
         false, false, false, false},
        {"recording", [](PictureOverlay& o) { o.SetRecording(true); }, false, true, false, false},
        {"recording without a badge word",
         [](PictureOverlay& o) {
             o.SetRecordingBadge("");
             o.SetRecording(true);
         },
         false, false, false, false},
        {"caption and clock outside full screen", fullScreenTexts, false, false, false, false},
        {"full screen",
         [&](PictureOverlay& o) {
             fullScreenTexts(o);
             o.SetFullScreen(true);
         },
         false, false, true, false},
        {"locked", [](PictureOverlay& o) { o.SetLockBanner("Locked"); }, false, false, false, true},
        {"everything",
         [&](PictureOverlay& o) {
             fullScreenTexts(o);
             o.SetFullScreen(true);
             o.SetAlarmLit(true);
             o.SetRecording(true);
             o.SetLockBanner("Locked");
         },
         true, true, true, true},
    };
    const QRect area(0, 0, 320, 240);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureOverlay overlay;
        overlay.SetRecordingBadge("REC");
        c.set(overlay);
        const QImage image = Painted(overlay, Scene(area.size()), area);
        if (!(c.border || c.badge || c.band || c.banner)) {
            EXPECT_EQ(image, Scene(area.size()));
            continue;
        }
        EXPECT_EQ(BorderAllRed(image, area), c.border);
        const QRect topRight(160, 0, 160, 60);
        EXPECT_EQ(Count(image, topRight, BadgeRed) > 100, c.badge);
        EXPECT_EQ(Count(image, topRight, Light) > 20, c.badge) << "the badge's word";
        const QRect bottom(0, 200, 320, 40);
        EXPECT_EQ(Count(image, bottom, Dark) > 3000, c.band);
        // The caption stands on the left, the clock on the right.
        EXPECT_EQ(Count(image, bottom & QRect(0, 0, 140, 240), Light) > 20, c.band);
        EXPECT_EQ(Count(image, bottom & QRect(180, 0, 140, 240), Light) > 20, c.band);
        const QRect middle(20, 100, 280, 40);
        EXPECT_EQ(Count(image, middle, Dark) > 3000, c.banner);
        EXPECT_EQ(Count(image, middle, Light) > 50, c.banner) << "the banner's word";
    }
}

TEST(PictureOverlay, TheRecordingBadgeReadsOnAnyScene) {
    PictureOverlay overlay;
    overlay.SetRecordingBadge("REC");
    overlay.SetRecording(true);
    for (QColor scene :
         {QColor(Qt::white), QColor(Qt::red), QColor(Qt::black), QColor(0, 200, 0)}) {
        SCOPED_TRACE(scene.name().toStdString());
        const QImage image = Painted(overlay, Scene({320, 240}, scene), QRect(0, 0, 320, 240));
        // The badge is its own red whatever the scene, and its word is white on that red.
        QRect badge;
        for (int y = 0; y < 60; ++y) {
            for (int x = 160; x < 320; ++x) {
                if (BadgeRed(image.pixelColor(x, y))) {
                    badge |= QRect(x, y, 1, 1);
                }
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
    PictureOverlay overlay;
    overlay.SetRecordingBadge("REC");
    overlay.SetCaption(QString(300, QChar('W')));
    overlay.SetClock("2026-12-09  15:04:05");
    overlay.SetFullScreen(true);
    overlay.SetRecording(true);
    overlay.SetLockBanner(QString(300, QChar('L')));
    overlay.SetAlarmLit(true);
    const QSize canvas(1100, 860);
    for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(2, 3), QSize(30, 20), QSize(120, 90),
                       QSize(320, 240), QSize(1024, 768)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        const QRect area(QPoint(37, 41), size);
        const QImage image = Painted(overlay, Scene(canvas), area);
        QImage outside = image;
        QPainter(&outside).fillRect(area, kScene);
        EXPECT_EQ(outside, Scene(canvas));
        if (!size.isEmpty()) {
            EXPECT_TRUE(BorderAllRed(image, area));
        }
    }
}

TEST(PictureOverlay, AsksForARepaintOnlyWhenWhatItShowsChanges) {
    PictureOverlay overlay;
    int repaints = 0;
    overlay.SetChangedCallback([&] { ++repaints; });
    struct Step {
        const char* name;
        std::function<void()> act;
        int repaints;  // asked for by this step
    };
    const Step steps[] = {
        {"the same alarm phase twice",
         [&] {
             overlay.SetAlarmLit(true);
             overlay.SetAlarmLit(true);
         },
         1},
        {"blink off", [&] { overlay.SetAlarmLit(false); }, 1},
        {"recording before the badge has its word", [&] { overlay.SetRecording(true); }, 0},
        {"the badge's word while recording", [&] { overlay.SetRecordingBadge("REC"); }, 1},
        {"clock ticks outside full screen",
         [&] {
             overlay.SetClock("15:04:05");
             overlay.SetClock("15:04:06");
         },
         0},
        {"a caption outside full screen", [&] { overlay.SetCaption("Camera I"); }, 0},
        {"full screen", [&] { overlay.SetFullScreen(true); }, 1},
        {"clock ticks in full screen",
         [&] {
             overlay.SetClock("15:04:07");
             overlay.SetClock("15:04:08");
             overlay.SetClock("15:04:08");
         },
         2},
        {"locked, then the same banner again",
         [&] {
             overlay.SetLockBanner("Locked");
             overlay.SetLockBanner("Locked");
         },
         1},
        {"unlocked", [&] { overlay.SetLockBanner(""); }, 1},
    };
    for (const Step& step : steps) {
        const int before = repaints;
        step.act();
        EXPECT_EQ(repaints - before, step.repaints) << step.name;
    }
    EXPECT_FALSE(overlay.locked());
    EXPECT_TRUE(overlay.recording());
}

}  // namespace
