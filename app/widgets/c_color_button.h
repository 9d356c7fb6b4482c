// The owner-drawn push button of the station's dialogs: a rounded flat face in the colour
// scheme's background, its label in the scheme's text colour, an orange frame while the mouse
// is over it, the label one pixel down and right while pressed and yellow while disabled. It
// paints from the process-wide scheme, so a scheme change shows at its next repaint, unless the
// dialog gave it colours of its own.
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

    // Label and face in these colours from now on, whatever the scheme says.
    void SetOwnColours(const QColor& text, const QColor& face);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hovered_ = false;
    std::optional<QColor> ownText_;
    std::optional<QColor> ownFace_;
};

}  // namespace ovistra
