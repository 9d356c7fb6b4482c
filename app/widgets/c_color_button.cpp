#include "c_color_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>

#include "colour_scheme.h"
#include "contrast_ratio.h"

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
// Where the yellow label would vanish on a light face.
const QColor kDisabledTextOnLight(120, 100, 0);
constexpr int kSmallestFontPixels = 8;

uint32_t Value(const QColor& colour) {
    return ColourScheme::Pack(colour.red(), colour.green(), colour.blue());
}

QColor ShadowFor(const QColor& text) {
    const uint32_t black = 0, white = 0xFFFFFF;
    return ContrastRatio(Value(text), black) >= ContrastRatio(Value(text), white) ? Qt::black
                                                                                  : Qt::white;
}

QColor DisabledText(const QColor& face) {
    const double yellow = ContrastRatio(Value(kDisabledText), Value(face));
    if (yellow >= kReadableContrast) {
        return kDisabledText;
    }
    return ContrastRatio(Value(kDisabledTextOnLight), Value(face)) > yellow ? kDisabledTextOnLight
                                                                            : kDisabledText;
}

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

void CColorButton::SetOwnLabelColour(std::optional<QColor> text) {
    ownText_ = text;
    update();
}

QRect CColorButton::Inner() const {
    return rect().adjusted(kEdge, kEdge, -kEdge, -kEdge);
}

QFont CColorButton::LabelFont(const QRect& inner) const {
    // The font is made for the button's natural height; a button laid out taller or shorter
    // takes its label along.
    QFont label = font();
    const int natural = QFontInfo(label).pixelSize();
    const int hintHeight = sizeHint().height();
    int pixels = hintHeight > 0 ? natural * height() / hintHeight : natural;
    pixels = std::max(pixels, kSmallestFontPixels);
    label.setPixelSize(pixels);
    const int textWidth = QFontMetrics(label).horizontalAdvance(text());
    const int room = inner.width() - 2 * kEdge;
    if (textWidth > room && room > 0) {
        label.setPixelSize(std::max(kSmallestFontPixels, pixels * room / textWidth));
    }
    return label;
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

    const QRect inner = Inner();
    painter.fillRect(inner, face);
    if (hovered_) {
        InsideEdge(painter, inner, Qt::LeftEdge, kHoverLeft, 3);
        InsideEdge(painter, inner, Qt::RightEdge, kHoverRight, 3);
        InsideEdge(painter, inner, Qt::TopEdge, kHoverTop, 2);
        InsideEdge(painter, inner, Qt::BottomEdge, kHoverBottom, 2);
    }
    // The style's focus frame takes the style's colours, which may be the face's own; the
    // label's colour reads on the face whatever the scheme.
    const bool keyboardFocus = hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
    if (hovered_ || keyboardFocus) {
        painter.setPen(QPen(isEnabled() ? text : DisabledText(face), 1, Qt::DotLine));
        painter.drawRect(inner.adjusted(3, 2, -4, -3));
    }

    painter.setFont(LabelFont(inner));
    if (!isEnabled()) {
        painter.setPen(DisabledText(face));
        painter.drawText(inner.adjusted(0, 0, -2, -2), Qt::AlignCenter | Qt::TextSingleLine,
                         this->text());
        return;
    }
    const QRect label = isDown() ? inner.translated(1, 1) : inner;
    if (ContrastRatio(Value(text), Value(face)) < kReadableContrast) {
        // A label that hardly differs from the face in brightness (red on the default blue)
        // gets an edge that does.
        painter.setPen(ShadowFor(text));
        painter.drawText(label.translated(1, 1), Qt::AlignCenter | Qt::TextSingleLine,
                         this->text());
    }
    painter.setPen(text);
    painter.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, this->text());
}

}  // namespace ovistra
