#include "zone_editor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

#include "motion_zones.h"

namespace ovistra {
namespace {

constexpr int kMinZoneSide = 8;       // picture pixels; a smaller drag is a slip, not a zone
constexpr qreal kCornerGrabPx = 7.0;  // widget pixels around a corner that start a resize
const QRect kPicture(0, 0, kZonePictureWidth, kZonePictureHeight);

std::array<QPoint, 4> Corners(const QRect& zone) {
    const int right = zone.x() + zone.width();
    const int bottom = zone.y() + zone.height();
    return {QPoint(zone.x(), zone.y()), QPoint(right, zone.y()), QPoint(right, bottom),
            QPoint(zone.x(), bottom)};
}

// The rectangle two corners span, as a zone (exclusive right and bottom).
QRect Spanned(QPoint a, QPoint b) {
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QSize(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())));
}

bool BigEnough(const QRect& zone) {
    return zone.width() >= kMinZoneSide && zone.height() >= kMinZoneSide;
}

}  // namespace

CZoneEditor::CZoneEditor(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
}

QSize CZoneEditor::sizeHint() const {
    return {320, 240};
}

void CZoneEditor::SetZones(std::vector<QRect> zones) {
    zones_.clear();
    for (const QRect& zone : zones) {
        const QRect clipped = zone.intersected(kPicture);
        if (!clipped.isEmpty() && zones_.size() < static_cast<size_t>(kMaxMotionZones)) {
            zones_.push_back(clipped);
        }
    }
    selected_ = -1;
    drag_ = Drag::None;
    update();
}

void CZoneEditor::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void CZoneEditor::SetHints(const QString& wholePicture, const QString& noPicture) {
    wholePictureHint_ = wholePicture;
    noPictureHint_ = noPicture;
    update();
}

void CZoneEditor::DeleteSelected() {
    if (selected_ < 0) {
        return;
    }
    zones_.erase(zones_.begin() + selected_);
    selected_ = -1;
    drag_ = Drag::None;
    update();
    emit zonesChanged();
}

void CZoneEditor::Clear() {
    zones_.clear();
    selected_ = -1;
    drag_ = Drag::None;
    update();
    emit zonesChanged();
}

QRectF CZoneEditor::PictureArea() const {
    const qreal scale =
        std::min(width() / qreal(kZonePictureWidth), height() / qreal(kZonePictureHeight));
    const QSizeF size(kZonePictureWidth * scale, kZonePictureHeight * scale);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QPointF CZoneEditor::ToWidget(QPoint picturePoint) const {
    const QRectF area = PictureArea();
    return area.topLeft() + QPointF(picturePoint.x() * area.width() / kZonePictureWidth,
                                    picturePoint.y() * area.height() / kZonePictureHeight);
}

QPoint CZoneEditor::ToPicture(QPointF widgetPoint) const {
    const QRectF area = PictureArea();
    if (area.isEmpty()) {
        return {};
    }
    const QPointF offset = widgetPoint - area.topLeft();
    const int x = qRound(offset.x() * kZonePictureWidth / area.width());
    const int y = qRound(offset.y() * kZonePictureHeight / area.height());
    return {std::clamp(x, 0, kZonePictureWidth), std::clamp(y, 0, kZonePictureHeight)};
}

int CZoneEditor::ZoneAt(QPoint picturePoint) const {
    // The last drawn lies on top.
    for (int i = static_cast<int>(zones_.size()) - 1; i >= 0; --i) {
        if (zones_[i].contains(picturePoint)) {
            return i;
        }
    }
    return -1;
}

int CZoneEditor::CornerAt(QPointF widgetPoint, int zone) const {
    const std::array<QPoint, 4> corners = Corners(zones_[zone]);
    for (int c = 0; c < 4; ++c) {
        const QPointF d = ToWidget(corners[c]) - widgetPoint;
        if (std::abs(d.x()) <= kCornerGrabPx && std::abs(d.y()) <= kCornerGrabPx) {
            return c;
        }
    }
    return -1;
}

void CZoneEditor::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    const QPoint point = ToPicture(at);
    if (event->button() == Qt::RightButton) {
        selected_ = ZoneAt(point);
        DeleteSelected();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    dragStart_ = point;
    for (int i = static_cast<int>(zones_.size()) - 1; i >= 0; --i) {
        const int corner = CornerAt(at, i);
        if (corner >= 0) {
            selected_ = i;
            drag_ = Drag::Resize;
            dragOrigin_ = zones_[i];
            fixedCorner_ = Corners(zones_[i])[(corner + 2) % 4];
            update();
            return;
        }
    }
    selected_ = ZoneAt(point);
    if (selected_ >= 0) {
        drag_ = Drag::Move;
        dragOrigin_ = zones_[selected_];
    } else if (zones_.size() < static_cast<size_t>(kMaxMotionZones)) {
        drag_ = Drag::Draw;
        zones_.push_back(QRect(point, QSize(0, 0)));
        selected_ = static_cast<int>(zones_.size()) - 1;
    }
    update();
}

void CZoneEditor::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = ToPicture(event->position());
    if (drag_ == Drag::None || selected_ < 0) {
        const int zone = ZoneAt(point);
        const bool onCorner = zone >= 0 && CornerAt(event->position(), zone) >= 0;
        setCursor(onCorner ? Qt::SizeFDiagCursor : zone >= 0 ? Qt::SizeAllCursor : Qt::CrossCursor);
        return;
    }
    QRect& zone = zones_[selected_];
    switch (drag_) {
        case Drag::Draw:
            zone = Spanned(dragStart_, point);
            break;
        case Drag::Resize:
            zone = Spanned(fixedCorner_, point);
            break;
        case Drag::Move: {
            const QPoint delta = point - dragStart_;
            // Moved whole: the zone stops at the picture's edge instead of shrinking.
            const int x =
                std::clamp(dragOrigin_.x() + delta.x(), 0, kZonePictureWidth - dragOrigin_.width());
            const int y = std::clamp(dragOrigin_.y() + delta.y(), 0,
                                     kZonePictureHeight - dragOrigin_.height());
            zone = QRect(QPoint(x, y), dragOrigin_.size());
            break;
        }
        case Drag::None:
            break;
    }
    update();
}

void CZoneEditor::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::None || selected_ < 0 || event->button() != Qt::LeftButton) {
        return;
    }
    mouseMoveEvent(event);
    const Drag finished = drag_;
    drag_ = Drag::None;
    if (!BigEnough(zones_[selected_])) {
        if (finished == Drag::Draw) {
            zones_.erase(zones_.begin() + selected_);
            selected_ = -1;
        } else {
            zones_[selected_] = dragOrigin_;
        }
        update();
        return;
    }
    if (finished != Drag::Move || zones_[selected_] != dragOrigin_) {
        emit zonesChanged();
    }
}

void CZoneEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        DeleteSelected();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CZoneEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(20, 24, 30));
    const QRectF area = PictureArea();
    if (picture_.isNull()) {
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, noPictureHint_);
    } else {
        painter.drawImage(area, picture_);
    }

    auto widgetRect = [this](const QRect& zone) {
        const std::array<QPoint, 4> corners = Corners(zone);
        return QRectF(ToWidget(corners[0]), ToWidget(corners[2]));
    };
    if (zones_.empty()) {
        const QRectF band(area.left(), area.bottom() - 24, area.width(), 24);
        painter.fillRect(band, QColor(0, 0, 0, 150));
        painter.setPen(Qt::white);
        painter.drawText(band, Qt::AlignCenter, wholePictureHint_);
        return;
    }
    // What lies outside every zone is not watched: dimmed.
    QPainterPath outside;
    outside.addRect(area);
    QPainterPath inside;
    for (const QRect& zone : zones_) {
        inside.addRect(widgetRect(zone));
    }
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 110));

    for (int i = 0; i < static_cast<int>(zones_.size()); ++i) {
        const QRectF shown = widgetRect(zones_[i]);
        const bool isSelected = i == selected_;
        const QColor edge = isSelected ? QColor(0, 220, 255) : QColor(255, 210, 0);
        painter.setPen(QPen(edge, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(shown);
        painter.drawText(shown.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                         QString::number(i + 1));
        if (isSelected) {
            painter.setBrush(edge);
            for (const QPoint& corner : Corners(zones_[i])) {
                painter.drawRect(QRectF(ToWidget(corner) - QPointF(3, 3), QSizeF(6, 6)));
            }
        }
    }
}

}  // namespace ovistra
