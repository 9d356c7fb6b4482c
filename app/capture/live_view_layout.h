// Where the live view's elements stand in each window and view state: the four pictures with
// their strips and captions, the large picture of the cycling view, the alarm block and the
// button panel. A pure function of the state, so every state can be checked without a window.
// The coordinates are drawn for a 1024x768 client area; any other window shows them scaled by
// one factor and centred, and full screen letterboxes each picture at 4:3.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

namespace ovistra {

enum class WindowMode { Restored, Maximised, FullScreen };

struct LiveViewState {
    QSize client;  // the window's client area
    WindowMode mode = WindowMode::Maximised;
    int zoomedCamera = 0;  // 1..4: that camera enlarged; 0: four pictures
    bool cycling = false;  // the large picture shows the cameras in turn
};

struct LiveViewLayout {
    // The client area the coordinates are drawn for.
    static constexpr QSize kDrawnClient{1024, 768};
    // Below this the scaled buttons' texts no longer read.
    static constexpr QSize kSmallestClient{800, 560};
    static constexpr int kPanelWidth = 230;

    std::array<QRect, 4> pictures;
    std::array<QRect, 4> strips;
    std::array<QRect, 4> captions;
    std::array<bool, 4> picturesShown{true, true, true, true};
    bool stripsShown = true;
    bool captionsShown = true;
    QRect large;
    QRect largeStrip;
    QRect largeCaption;
    bool largeShown = false;
    std::array<QRect, 4> alarms;  // cameras 1..4
    bool alarmsShown = true;
    QRect panel;  // the clock and the buttons
    bool panelShown = true;
    bool maximisedCoordinates = false;  // the coordinates of the maximised window are in use
    // Drawn coordinates times this, plus `origin`, are client pixels; the panel's fonts and
    // buttons grow or shrink by it too.
    double scale = 1.0;
    QPoint origin;
};

// The factor that fits the drawn client area into `client`, keeping its proportions.
double LiveViewScale(QSize client);

LiveViewLayout LayOutLiveView(const LiveViewState& state);

}  // namespace ovistra
