// Where the live view's elements stand in each window and view state: the four pictures with
// their strips and captions, the large picture of the cycling view, the alarm block and the
// button panel. A pure function of the state, so every state can be checked without a window.
#pragma once

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
    // The client area the maximised coordinates need; a smaller maximised window is laid out
    // with the restored coordinates, which fit any window of at least kSmallestClient.
    static constexpr QSize kMaximisedClient{1000, 700};
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
};

LiveViewLayout LayOutLiveView(const LiveViewState& state);

}  // namespace ovistra
