#include "live_view_layout.h"

#include <algorithm>
#include <cmath>

namespace ovistra {
namespace {

constexpr int kMargin = 10;
constexpr int kStripHeight = 16;
constexpr int kAlarmSide = 20;
constexpr QSize kThumbnail{120, 90};
constexpr int kThumbnailCaptionWidth = 150;
constexpr int kThumbnailCaptionOffset = 106;  // from the thumbnail's top
constexpr int kZoomedCaptionHeight = 30;

// The numbers that differ between the restored and the maximised window.
struct Metrics {
    QSize picture;
    int secondColumnX;
    int lowerRowReserve;  // client height less this, halved, is the lower row's y
    int captionGap;       // caption from this far under the picture...
    int captionEnd;       // ...to this far
    QSize large;
    int alarmGap;  // right of picture 1
};

constexpr Metrics kRestored{{240, 180}, 310, 40, 20, 70, {480, 360}, 10};
constexpr Metrics kMaximised{{320, 240}, 400, 60, 17, 65, {640, 480}, 15};

QRect StripUnder(const QRect& picture) {
    return {picture.left(), picture.top() + picture.height(), picture.width(), kStripHeight};
}

int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

void PlaceAlarms(LiveViewLayout& layout, QPoint topLeft) {
    for (int camera = 0; camera < 4; ++camera) {
        layout.alarms[camera] =
            QRect(topLeft.x() + (camera % 2) * kAlarmSide, topLeft.y() + (camera / 2) * kAlarmSide,
                  kAlarmSide, kAlarmSide);
    }
}

// The largest 4:3 rectangle centred in `area`; the rest of it stays background.
QRect Letterboxed(const QRect& area) {
    QSize fitted(area.width(), area.width() * 3 / 4);
    if (fitted.height() > area.height()) {
        fitted = QSize(area.height() * 4 / 3, area.height());
    }
    return QRect(area.left() + (area.width() - fitted.width()) / 2,
                 area.top() + (area.height() - fitted.height()) / 2, fitted.width(),
                 fitted.height());
}

// The four pictures tile the largest 4:3 area of the screen, so each keeps 4:3 inside its
// quarter and together they stand as one picture would, with bars only at the screen's edges.
void LayOutFullScreen(const LiveViewState& state, LiveViewLayout& layout) {
    const QRect whole = Letterboxed(QRect(QPoint(0, 0), state.client));
    const int w = whole.width();
    const int h = whole.height();
    for (int camera = 0; camera < 4; ++camera) {
        const QRect quarter(whole.left() + (camera % 2) * (w / 2),
                            whole.top() + (camera / 2) * (h / 2), (camera % 2) ? w - w / 2 : w / 2,
                            (camera / 2) ? h - h / 2 : h / 2);
        layout.pictures[camera] =
            state.cycling || state.zoomedCamera == camera + 1 ? whole : quarter;
    }
    layout.large = whole;
    layout.largeShown = state.cycling;
    for (int camera = 0; camera < 4; ++camera) {
        layout.picturesShown[camera] =
            !state.cycling && (state.zoomedCamera == 0 || state.zoomedCamera == camera + 1);
    }
    layout.stripsShown = false;
    layout.captionsShown = false;
    layout.alarmsShown = false;
    layout.panelShown = false;
    layout.scale = LiveViewScale(state.client);
}

// Every edge is scaled on its own, so elements that touch still touch and none overlap.
QRect Scaled(const QRect& drawn, double scale, QPoint origin) {
    const auto at = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    const int left = at(drawn.left());
    const int top = at(drawn.top());
    return QRect(origin.x() + left, origin.y() + top, at(drawn.left() + drawn.width()) - left,
                 at(drawn.top() + drawn.height()) - top);
}

void ScaleToClient(LiveViewLayout& layout, QSize client) {
    const double scale = LiveViewScale(client);
    const QSize drawn = LiveViewLayout::kDrawnClient;
    const QPoint origin(
        (client.width() - static_cast<int>(std::lround(drawn.width() * scale))) / 2,
        (client.height() - static_cast<int>(std::lround(drawn.height() * scale))) / 2);
    for (auto* group : {&layout.pictures, &layout.strips, &layout.captions, &layout.alarms}) {
        for (QRect& area : *group) {
            area = Scaled(area, scale, origin);
        }
    }
    for (QRect* area : {&layout.large, &layout.largeStrip, &layout.largeCaption, &layout.panel}) {
        *area = Scaled(*area, scale, origin);
    }
    layout.scale = scale;
    layout.origin = origin;
}

LiveViewLayout LayOutDrawn(const LiveViewState& state) {
    LiveViewLayout layout;
    const QSize client = LiveViewLayout::kDrawnClient;
    layout.maximisedCoordinates = state.mode == WindowMode::Maximised;
    const Metrics& m = layout.maximisedCoordinates ? kMaximised : kRestored;
    const int lowerY = (client.height() - m.lowerRowReserve) / 2;
    const QRect first(kMargin, kMargin, m.picture.width(), m.picture.height());
    const std::array<QPoint, 4> quarters = {
        QPoint(kMargin, kMargin), QPoint(m.secondColumnX, kMargin), QPoint(kMargin, lowerY),
        QPoint(m.secondColumnX, lowerY)};
    int thumbnail = 0;
    for (int camera = 0; camera < 4; ++camera) {
        QRect& picture = layout.pictures[camera];
        QRect& caption = layout.captions[camera];
        if (state.zoomedCamera == 0) {
            picture = QRect(quarters[camera], m.picture);
            layout.strips[camera] = StripUnder(picture);
            caption = QRect(picture.left(), Bottom(picture) + m.captionGap, picture.width(),
                            m.captionEnd - m.captionGap);
        } else if (state.zoomedCamera == camera + 1) {
            picture = QRect(first.topLeft(), first.size() * 2);
            layout.strips[camera] = StripUnder(picture);
            caption = QRect(picture.left(), Bottom(picture) + kStripHeight, picture.width(),
                            kZoomedCaptionHeight);
        } else {
            const int step = first.width() - 60;
            picture =
                QRect(QPoint(first.left() + thumbnail * step, 2 * first.height() + 60), kThumbnail);
            layout.strips[camera] = StripUnder(picture);
            caption = QRect(picture.left(), picture.top() + kThumbnailCaptionOffset,
                            kThumbnailCaptionWidth, kStripHeight);
            ++thumbnail;
        }
    }
    layout.large = QRect(first.topLeft(), m.large);
    layout.largeStrip = StripUnder(layout.large);
    layout.largeCaption =
        QRect(layout.large.left(), Bottom(layout.large) + 20, layout.large.width(), 40);
    layout.largeShown = state.cycling;
    layout.picturesShown.fill(!state.cycling);
    layout.stripsShown = !state.cycling;
    layout.captionsShown = !state.cycling;

    // The block stands in the gap between the picture columns; a large or zoomed picture
    // fills that gap, so the block moves right of it.
    if (state.cycling || state.zoomedCamera != 0) {
        const QRect& big = state.cycling ? layout.large : layout.pictures[state.zoomedCamera - 1];
        PlaceAlarms(layout, QPoint(Right(big) + m.alarmGap, big.top()));
    } else if (layout.maximisedCoordinates) {
        PlaceAlarms(layout, QPoint(Right(first) + m.alarmGap, Bottom(layout.large) + 20));
    } else {
        PlaceAlarms(layout, QPoint(Right(first) + m.alarmGap, Bottom(first) + 20));
    }
    layout.panel = QRect(client.width() - LiveViewLayout::kPanelWidth - kMargin, kMargin,
                         LiveViewLayout::kPanelWidth, client.height() - 2 * kMargin);
    return layout;
}

}  // namespace

double LiveViewScale(QSize client) {
    const QSize drawn = LiveViewLayout::kDrawnClient;
    return std::max(0.0, std::min(double(client.width()) / drawn.width(),
                                  double(client.height()) / drawn.height()));
}

LiveViewLayout LayOutLiveView(const LiveViewState& state) {
    LiveViewLayout layout;
    if (state.mode == WindowMode::FullScreen) {
        LayOutFullScreen(state, layout);
        return layout;
    }
    layout = LayOutDrawn(state);
    ScaleToClient(layout, state.client);
    return layout;
}

}  // namespace ovistra
