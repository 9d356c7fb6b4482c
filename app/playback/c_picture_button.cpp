#include "c_picture_button.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "thumbnail_cache.h"

namespace ovistra {

CPictureButton::CPictureButton(std::shared_ptr<ThumbnailCache> thumbnails, QWidget* parent)
    : QPushButton(parent), thumbnails_(std::move(thumbnails)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPictureButton::~CPictureButton() = default;

void CPictureButton::SetContextMenu(QMenu* menu, QWidget* owner) {
    menu_ = menu;
    owner_ = owner;
}

void CPictureButton::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

void CPictureButton::SetImage(const QString& path) {
    path_ = path;
    update();
}

void CPictureButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!path_.isEmpty()) {
        const QRect inside =
            rect().adjusted(kPictureInset, kPictureInset, -kPictureInset, -kPictureInset);
        const QImage picture = thumbnails_->Thumbnail(path_, inside.size());
        if (!picture.isNull()) {
            painter.drawImage(inside.topLeft(), picture);
        }
    }
    painter.setPen(selected_ ? Qt::red : Qt::white);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CPictureButton::mousePressEvent(QMouseEvent* event) {
    // An empty slot has nothing the menu's commands could act on.
    if (event->button() != Qt::RightButton || !menu_ || path_.isEmpty()) {
        QPushButton::mousePressEvent(event);
        return;
    }
    const QPointF screenPoint = event->globalPosition();
    if (owner_) {
        QMouseEvent press(QEvent::MouseButtonPress, owner_->mapFromGlobal(screenPoint), screenPoint,
                          Qt::RightButton, Qt::RightButton, event->modifiers());
        QCoreApplication::sendEvent(owner_, &press);
    }
    menu_->popup(screenPoint.toPoint());
    event->accept();
}

void CPictureButton::mouseDoubleClickEvent(QMouseEvent* event) {
    QPushButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
}

}  // namespace ovistra
