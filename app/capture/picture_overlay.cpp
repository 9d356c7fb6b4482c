#include "picture_overlay.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include <algorithm>

namespace ovistra {
namespace {

const QColor kAlarmRed(255, 0, 0);
const QColor kBadgeRed(204, 0, 0);
const QColor kBandShade(0, 0, 0, 160);
const QColor kBannerShade(0, 0, 0, 190);
const QColor kBannerEdge(255, 176, 0);
const QColor kLightText(245, 245, 245);

// Sizes follow the picture's shorter side, so a thumbnail and a full-screen picture both read.
int Scaled(const QRect& area, int divisor, int least, int most) {
    return std::clamp(std::min(area.width(), area.height()) / divisor, least, most);
}

QFont SizedFont(const QFont& base, int pixels, bool bold) {
    QFont font(base);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

void PictureOverlay::SetChangedCallback(std::function<void()> changed) {
    changed_ = std::move(changed);
}

template <typename T>
void PictureOverlay::Change(T& field, const T& value, bool shown) {
    if (field == value) {
        return;
    }
    field = value;
    if (shown && changed_) {
        changed_();
    }
}

void PictureOverlay::SetAlarmLit(bool lit) {
    Change(alarmLit_, lit, true);
}

void PictureOverlay::SetRecording(bool recording) {
    Change(recording_, recording, !badge_.isEmpty());
}

void PictureOverlay::SetFullScreen(bool fullScreen) {
    Change(fullScreen_, fullScreen, true);
}

void PictureOverlay::SetCaption(const QString& caption) {
    Change(caption_, caption, fullScreen_);
}

void PictureOverlay::SetClock(const QString& clock) {
    // Outside full screen the clock has its own caption: no repaint each second.
    Change(clock_, clock, fullScreen_);
}

void PictureOverlay::SetRecordingBadge(const QString& text) {
    Change(badge_, text, recording_);
}

void PictureOverlay::SetLockBanner(const QString& text) {
    Change(lockBanner_, text, true);
}

void PictureOverlay::Paint(QPainter& painter, const QRect& area) const {
    const bool badge = recording_ && !badge_.isEmpty();
    if (area.isEmpty() || !(alarmLit_ || badge || fullScreen_ || locked())) {
        return;
    }
    const int border = Scaled(area, 40, 3, 12);
    painter.save();
    painter.setClipRect(area);  // a badge or text wider than a thumbnail stops at its edge
    if (fullScreen_) {
        PaintFullScreenBand(painter, area, border);
    }
    if (badge) {
        PaintRecordingBadge(painter, area, 2 * border);
    }
    if (locked()) {
        PaintLockBanner(painter, area);
    }
    // Last, so nothing covers the alarm.
    if (alarmLit_) {
        PaintAlarmBorder(painter, area, border);
    }
    painter.restore();
}

void PictureOverlay::PaintFullScreenBand(QPainter& painter, const QRect& area, int border) const {
    if (caption_.isEmpty() && clock_.isEmpty()) {
        return;
    }
    const QFont font = SizedFont(painter.font(), Scaled(area, 18, 10, 28), false);
    const QFontMetrics metrics(font);
    // The band reaches the picture's edge; its text stays clear of where the alarm border blinks.
    const int bandHeight = metrics.height() * 5 / 4 + border;
    const QRect band(area.left(), area.bottom() + 1 - bandHeight, area.width(), bandHeight);
    painter.fillRect(band, kBandShade);
    painter.setFont(font);
    painter.setPen(kLightText);
    const int margin = 2 * border;
    const QRect text = band.adjusted(margin, 0, -margin, -border);
    const QString clock = metrics.elidedText(clock_, Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter, clock);
    const int clockWidth = clock.isEmpty() ? 0 : metrics.horizontalAdvance(clock) + margin;
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(caption_, Qt::ElideRight, text.width() - clockWidth));
}

void PictureOverlay::PaintRecordingBadge(QPainter& painter, const QRect& area, int margin) const {
    const QFont font = SizedFont(painter.font(), Scaled(area, 16, 9, 24), true);
    const QFontMetrics metrics(font);
    const int padding = std::max(2, metrics.height() / 4);
    const int dot = metrics.height() / 2;
    const QSize size(padding + dot + padding + metrics.horizontalAdvance(badge_) + padding,
                     metrics.height() + padding / 2);
    const QRect badge(QPoint(area.right() + 1 - margin - size.width(), area.top() + margin), size);
    painter.setRenderHint(QPainter::Antialiasing);
    // A white edge keeps the badge apart from a red scene; the text is white on red anywhere.
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kBadgeRed);
    painter.drawRoundedRect(QRectF(badge).adjusted(0.5, 0.5, -0.5, -0.5), padding, padding);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(
        QRectF(badge.left() + padding, badge.center().y() + 1 - dot / 2.0, dot, dot));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge.adjusted(padding + dot + padding, 0, -padding, 0), Qt::AlignCenter,
                     badge_);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void PictureOverlay::PaintLockBanner(QPainter& painter, const QRect& area) const {
    const QFont font = SizedFont(painter.font(), Scaled(area, 7, 10, 72), true);
    const QFontMetrics metrics(font);
    const int height = std::min(area.height(), metrics.height() * 2);
    const QRect band(area.left(), area.center().y() - height / 2, area.width(), height);
    painter.fillRect(band, kBannerShade);
    const int edge = std::max(1, height / 16);
    painter.fillRect(QRect(band.left(), band.top(), band.width(), edge), kBannerEdge);
    painter.fillRect(QRect(band.left(), band.bottom() + 1 - edge, band.width(), edge), kBannerEdge);
    painter.setFont(font);
    painter.setPen(kLightText);
    painter.drawText(band, Qt::AlignCenter,
                     metrics.elidedText(lockBanner_, Qt::ElideRight, band.width()));
}

void PictureOverlay::PaintAlarmBorder(QPainter& painter, const QRect& area, int width) {
    // A tiny picture is all border rather than a border that reaches past it.
    const int w = std::max(1, std::min({width, area.width() / 2, area.height() / 2}));
    const int inner = area.height() - 2 * w;
    painter.fillRect(QRect(area.left(), area.top(), area.width(), w), kAlarmRed);
    painter.fillRect(QRect(area.left(), area.bottom() + 1 - w, area.width(), w), kAlarmRed);
    if (inner > 0) {
        painter.fillRect(QRect(area.left(), area.top() + w, w, inner), kAlarmRed);
        painter.fillRect(QRect(area.right() + 1 - w, area.top() + w, w, inner), kAlarmRed);
    }
}

}  // namespace ovistra
