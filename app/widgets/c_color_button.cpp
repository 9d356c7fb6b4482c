#include "c_color_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "colour_scheme.h"

namespace ovistra {
namespace {

constexpr int kCornerSize = 5;
constexpr int kEdge = 2;  // the system's edge width and height
constexpr int kFontPixels = 14;
const QColor kHoverLeft(250, 196, 88);
const QColor kHoverRight(251, 202, 106);
const QColor kHoverTop(252, 210, 121);
const QColor kHoverBottom(229, 151, 0);
const QColor kDisabledText(250, 255, 0);

// A line `width` pixels wide lying inside `rect` along one of its edges.
void InsideEdge(QPainter& painter, const QRect& rect, Qt::Edge edge, const QColor& colour,
                int width) {
    switch (edge) {
        case Qt::LeftEdge:
            painter.fillRect(QRect(rect.left(), rect.top(), width, rect.height()), colour);
            break;
        case Qt::RightEdge:
            painter.fillRect(QRect(rect.right() - width + 1, rect.top(), width, rect.height()),
                             colour);
            break;
        case Qt::TopEdge:
            painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), width), colour);
            break;
        case Qt::BottomEdge:
            painter.fillRect(QRect(rect.left(), rect.bottom() - width + 1, rect.width(), width),
                             colour);
            break;
    }
}

}  // namespace

CColorButton::CColorButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    // The face covers the whole button; nothing behind it needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont label(QStringLiteral("MS PMincho"));
    label.setPixelSize(kFontPixels);
    label.setWeight(QFont::Normal);
    setFont(label);
}

void CColorButton::SetOwnColours(const QColor& text, const QColor& face) {
    ownText_ = text;
    ownFace_ = face;
    update();
}

void CColorButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CColorButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CColorButton::paintEvent(QPaintEvent* /*event*/) {
    const ColourScheme& scheme = CurrentColourScheme();
    const QColor face = ownFace_.value_or(
        QColor(scheme.backgroundRed, scheme.backgroundGreen, scheme.backgroundBlue));
    const QColor text =
        ownText_.value_or(QColor(scheme.textRed, scheme.textGreen, scheme.textBlue));
    QPainter painter(this);
    // Outside the rounded corners the parent's background shows.
    painter.fillRect(rect(),
                     parentWidget() ? parentWidget()->palette().window() : palette().window());
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect().adjusted(0, 0, -1, -1), kCornerSize / 2.0, kCornerSize / 2.0);

    const QRect inner = rect().adjusted(kEdge, kEdge, -kEdge, -kEdge);
    painter.fillRect(inner, face);
    if (hovered_) {
        InsideEdge(painter, inner, Qt::LeftEdge, kHoverLeft, 3);
        InsideEdge(painter, inner, Qt::RightEdge, kHoverRight, 3);
        InsideEdge(painter, inner, Qt::TopEdge, kHoverTop, 2);
        InsideEdge(painter, inner, Qt::BottomEdge, kHoverBottom, 2);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = inner.adjusted(3, 2, -3, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }

    painter.setFont(font());
    if (!isEnabled()) {
        painter.setPen(kDisabledText);
        painter.drawText(inner.adjusted(0, 0, -2, -2), Qt::AlignCenter | Qt::TextSingleLine,
                         this->text());
        return;
    }
    painter.setPen(text);
    const QRect label = isDown() ? inner.translated(1, 1) : inner;
    painter.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, this->text());
}

}  // namespace ovistra
