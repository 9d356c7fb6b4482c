// Where the live view's elements stand, over every window state and view state.
#include "live_view_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using ovistra::LayOutLiveView;
using ovistra::LiveViewLayout;
using ovistra::LiveViewState;
using ovistra::WindowMode;

struct Element {
    std::string name;
    QRect area;
};

// The moved elements a state shows, the button panel among them.
std::vector<Element> Shown(const LiveViewLayout& layout) {
    std::vector<Element> shown;
    for (int camera = 0; camera < 4; ++camera) {
        const std::string n = std::to_string(camera + 1);
        if (layout.picturesShown[camera]) {
            shown.push_back({"picture " + n, layout.pictures[camera]});
        }
        if (layout.stripsShown) {
            shown.push_back({"strip " + n, layout.strips[camera]});
        }
        if (layout.captionsShown) {
            shown.push_back({"caption " + n, layout.captions[camera]});
        }
        if (layout.alarmsShown) {
            shown.push_back({"alarm " + n, layout.alarms[camera]});
        }
    }
    if (layout.largeShown) {
        shown.push_back({"large", layout.large});
        if (layout.panelShown) {
            shown.push_back({"large strip", layout.largeStrip});
            shown.push_back({"large caption", layout.largeCaption});
        }
    }
    if (layout.panelShown) {
        shown.push_back({"panel", layout.panel});
    }
    return shown;
}

struct WindowCase {
    const char* label;
    QSize client;
    WindowMode mode;
};

const WindowCase kWindows[] = {
    {"restored", {1024, 768}, WindowMode::Restored},
    {"maximised", {1024, 768}, WindowMode::Maximised},
    {"maximised on a small screen", {800, 600}, WindowMode::Maximised},
    {"smallest window", LiveViewLayout::kSmallestClient, WindowMode::Restored},
    {"maximised on a large screen", {1920, 1080}, WindowMode::Maximised},
    {"maximised under a title bar", {1920, 1050}, WindowMode::Maximised},
    {"maximised on a 5:4 screen", {1280, 1024}, WindowMode::Maximised},
    {"restored, wide and low", {3840, 600}, WindowMode::Restored},
    {"maximised on a 4K screen", {3840, 2160}, WindowMode::Maximised},
    {"full screen", {1024, 768}, WindowMode::FullScreen},
    {"full screen, wide", {1920, 1080}, WindowMode::FullScreen},
    {"full screen, 5:4", {1280, 1024}, WindowMode::FullScreen},
};

struct ViewCase {
    const char* label;
    int zoomed;
    bool cycling;
};

const ViewCase kViews[] = {
    {"four pictures", 0, false}, {"zoom 1", 1, false}, {"zoom 2", 2, false},
    {"zoom 3", 3, false},        {"zoom 4", 4, false}, {"cycling", 0, true},
};

int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

// Within a pixel of 4:3.
bool FourByThree(const QRect& r) {
    return std::abs(r.width() * 3 - r.height() * 4) <= 4;
}

TEST(LiveViewLayout, ShownElementsNeverOverlapStayInsideTheWindowAndAreCentred) {
    for (const WindowCase& w : kWindows) {
        for (const ViewCase& v : kViews) {
            SCOPED_TRACE(std::string(w.label) + ", " + v.label);
            const LiveViewLayout layout = LayOutLiveView({w.client, w.mode, v.zoomed, v.cycling});
            const std::vector<Element> shown = Shown(layout);
            ASSERT_FALSE(shown.empty());
            QRect used;
            for (size_t a = 0; a < shown.size(); ++a) {
                used = used.united(shown[a].area);
                if (shown[a].name.starts_with("picture") || shown[a].name == "large") {
                    EXPECT_TRUE(FourByThree(shown[a].area)) << shown[a].name;
                }
                EXPECT_FALSE(shown[a].area.isEmpty()) << shown[a].name;
                EXPECT_TRUE(QRect(QPoint(0, 0), w.client).contains(shown[a].area)) << shown[a].name;
                for (size_t b = a + 1; b < shown.size(); ++b) {
                    EXPECT_FALSE(shown[a].area.intersects(shown[b].area))
                        << shown[a].name << " overlaps " << shown[b].name;
                }
            }
            EXPECT_LE(std::abs(used.left() - (w.client.width() - Right(used))), 2);
            EXPECT_LE(std::abs(used.top() - (w.client.height() - Bottom(used))), 2);
        }
    }
}

TEST(LiveViewLayout, TheRestoredAndMaximisedCoordinates) {
    const LiveViewLayout restored = LayOutLiveView({{1024, 768}, WindowMode::Restored, 0, false});
    EXPECT_EQ(restored.pictures[0], QRect(10, 10, 240, 180));
    EXPECT_EQ(restored.pictures[1], QRect(310, 10, 240, 180));
    EXPECT_EQ(restored.pictures[2], QRect(10, 364, 240, 180));
    EXPECT_EQ(restored.pictures[3], QRect(310, 364, 240, 180));
    EXPECT_EQ(restored.strips[2], QRect(10, 544, 240, 16));
    EXPECT_EQ(restored.captions[0], QRect(10, 210, 240, 50));
    EXPECT_EQ(restored.alarms[0], QRect(260, 210, 20, 20));
    EXPECT_EQ(restored.alarms[3], QRect(280, 230, 20, 20));
    EXPECT_EQ(restored.large, QRect(10, 10, 480, 360));

    const LiveViewLayout maximised = LayOutLiveView({{1024, 768}, WindowMode::Maximised, 0, false});
    EXPECT_TRUE(maximised.maximisedCoordinates);
    EXPECT_EQ(maximised.pictures[1], QRect(400, 10, 320, 240));
    EXPECT_EQ(maximised.pictures[3], QRect(400, 354, 320, 240));
    EXPECT_EQ(maximised.captions[1], QRect(400, 267, 320, 48));
    EXPECT_EQ(maximised.alarms[0], QRect(345, 510, 20, 20));
    EXPECT_EQ(maximised.large, QRect(10, 10, 640, 480));
    EXPECT_EQ(maximised.largeCaption, QRect(10, 510, 640, 40));
    // Other windows show the same coordinates scaled to fit, a small screen's maximised one too.
    struct Scaled {
        QSize client;
        WindowMode mode;
        double scale;
        QRect picture;  // camera 1's
    };
    const Scaled scaled[] = {
        {{800, 600}, WindowMode::Maximised, 0.78125, {8, 8, 250, 187}},
        {{1920, 1050}, WindowMode::Maximised, 1050.0 / 768, {260 + 14, 14, 437, 328}},
        {{1280, 1024}, WindowMode::Maximised, 1.25, {13, 32 + 13, 400, 300}},
        {{800, 560}, WindowMode::Restored, 560.0 / 768, {26 + 7, 7, 175, 132}},
    };
    for (const Scaled& c : scaled) {
        const LiveViewLayout layout = LayOutLiveView({c.client, c.mode, 0, false});
        EXPECT_TRUE(layout.maximisedCoordinates == (c.mode == WindowMode::Maximised));
        EXPECT_DOUBLE_EQ(layout.scale, c.scale);
        EXPECT_EQ(layout.pictures[0], c.picture);
    }
}

TEST(LiveViewLayout, AZoomedCameraTakesTwicePictureOneWithThumbnailsInARow) {
    const LiveViewLayout layout = LayOutLiveView({{1024, 768}, WindowMode::Maximised, 3, false});
    EXPECT_EQ(layout.pictures[2], QRect(10, 10, 640, 480));
    EXPECT_EQ(layout.strips[2], QRect(10, 490, 640, 16));
    EXPECT_EQ(layout.captions[2], QRect(10, 506, 640, 30));
    // The others in camera order, a step of picture one's width less 60 apart.
    EXPECT_EQ(layout.pictures[0], QRect(10, 540, 120, 90));
    EXPECT_EQ(layout.pictures[1], QRect(270, 540, 120, 90));
    EXPECT_EQ(layout.pictures[3], QRect(530, 540, 120, 90));
    EXPECT_EQ(layout.captions[3], QRect(530, 646, 150, 16));
}

TEST(LiveViewLayout, FullScreenTilesTheScreensLargest4To3AreaWithThePictures) {
    const LiveViewLayout tiled = LayOutLiveView({{1024, 768}, WindowMode::FullScreen, 0, false});
    const LiveViewLayout wide = LayOutLiveView({{1920, 1080}, WindowMode::FullScreen, 0, false});
    for (int camera = 0; camera < 4; ++camera) {
        const int x = camera % 2, y = camera / 2;
        EXPECT_EQ(tiled.pictures[camera], QRect(x * 512, y * 384, 512, 384));
        EXPECT_EQ(wide.pictures[camera], QRect(240 + x * 720, y * 540, 720, 540));
    }
    EXPECT_FALSE(wide.panelShown || wide.captionsShown || wide.stripsShown || wide.alarmsShown);
    // Zoomed or cycling, one picture takes all of that area.
    const LiveViewLayout zoomed = LayOutLiveView({{1920, 1080}, WindowMode::FullScreen, 2, false});
    EXPECT_EQ(zoomed.pictures[1], QRect(240, 0, 1440, 1080));
    EXPECT_EQ(zoomed.picturesShown, (std::array<bool, 4>{false, true, false, false}));
    const LiveViewLayout cycling = LayOutLiveView({{1280, 1024}, WindowMode::FullScreen, 0, true});
    EXPECT_EQ(cycling.large, QRect(0, 32, 1280, 960));
    EXPECT_TRUE(cycling.largeShown);
}

}  // namespace
