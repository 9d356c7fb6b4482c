#include "live_view_layout.h"

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

void LayOutFullScreen(const LiveViewState& state, LiveViewLayout& layout) {
    const int w = state.client.width();
    const int h = state.client.height();
    const QRect whole(0, 0, w, h);
    for (int camera = 0; camera < 4; ++camera) {
        const int x = (camera % 2) * (w / 2);
        const int y = (camera / 2) * (h / 2);
        layout.pictures[camera] =
            state.cycling || state.zoomedCamera == camera + 1
                ? whole
                : QRect(x, y, (camera % 2) ? w - w / 2 : w / 2, (camera / 2) ? h - h / 2 : h / 2);
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
}

}  // namespace

LiveViewLayout LayOutLiveView(const LiveViewState& state) {
    LiveViewLayout layout;
    if (state.mode == WindowMode::FullScreen) {
        LayOutFullScreen(state, layout);
        return layout;
    }
    const QSize client = state.client;
    layout.maximisedCoordinates = state.mode == WindowMode::Maximised &&
                                  client.width() >= LiveViewLayout::kMaximisedClient.width() &&
                                  client.height() >= LiveViewLayout::kMaximisedClient.height();
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

}  // namespace ovistra
