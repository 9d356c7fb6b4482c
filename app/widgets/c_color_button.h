// The owner-drawn push button of the station's dialogs: a rounded flat face in the colour
// scheme's background, its label in the scheme's text colour, an orange frame while the mouse
// is over it, the label one pixel down and right while pressed and yellow while disabled. It
// paints from the process-wide scheme, so a scheme change shows at its next repaint, unless the
// dialog gave it colours of its own. Keyboard focus shows as a dotted frame in the label's
// colour; a label too close to the face in brightness gets a shadow that is not; the label
// grows and shrinks with the button's height and is narrowed to fit its width.
#pragma once

#include <QColor>
#include <QPushButton>
#include <optional>

class QEnterEvent;

namespace ovistra {

class CColorButton : public QPushButton {
    Q_OBJECT

public:
    explicit CColorButton(const QString& text, QWidget* parent = nullptr);

    bool hovered() const { return hovered_; }
    // The font the label is drawn in at the button's present size.
    QFont LabelFont() const { return LabelFont(Inner()); }

    // Label and face in these colours from now on, whatever the scheme says.
    void SetOwnColours(const QColor& text, const QColor& face);
    // The label alone in this colour (a state shown in it); none follows the scheme again.
    void SetOwnLabelColour(std::optional<QColor> text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect Inner() const;
    // The button's font scaled to its height, narrowed until the label fits `inner`.
    QFont LabelFont(const QRect& inner) const;

    bool hovered_ = false;
    std::optional<QColor> ownText_;
    std::optional<QColor> ownFace_;
};

}  // namespace ovistra
