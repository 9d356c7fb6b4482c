#include "c_color_edit.h"

#include "window_ids.h"

namespace ovistra {

QColor ColourOf(const ColourScheme& scheme, SchemeColour which) {
    return which == SchemeColour::Background
               ? QColor(scheme.backgroundRed, scheme.backgroundGreen, scheme.backgroundBlue)
               : QColor(scheme.textRed, scheme.textGreen, scheme.textBlue);
}

void SetColour(ColourScheme& scheme, SchemeColour which, const QColor& colour) {
    if (which == SchemeColour::Background) {
        scheme.backgroundRed = colour.red();
        scheme.backgroundGreen = colour.green();
        scheme.backgroundBlue = colour.blue();
    } else {
        scheme.textRed = colour.red();
        scheme.textGreen = colour.green();
        scheme.textBlue = colour.blue();
    }
}

uint32_t ChangedMessage(SchemeColour which) {
    return which == SchemeColour::Background ? ids::kColoursChanged : ids::kColoursReset;
}

CColorEdit::CColorEdit(SchemeColour which, const QColor& restore, platform::WindowHandle mainWindow,
                       QWidget* parent)
    : QColorDialog(parent),
      which_(which),
      restore_(restore),
      mainWindow_(std::move(mainWindow)),
      told_(ColourOf(CurrentColourScheme(), which)) {
    // A desktop's own picker may not report the colour while it is being chosen.
    setOption(QColorDialog::DontUseNativeDialog);
    setCurrentColor(Qt::black);
    connect(this, &QColorDialog::currentColorChanged, this, &CColorEdit::Preview);
}

void CColorEdit::Preview(const QColor& colour) {
    // Black is where the picker starts, not a choice yet: the picture stays as it is.
    if (colour.rgb() == QColor(Qt::black).rgb()) {
        return;
    }
    Apply(colour);
}

void CColorEdit::Apply(const QColor& colour) {
    SetColour(CurrentColourScheme(), which_, colour);
    if (colour.rgb() != told_.rgb()) {
        told_ = colour;
        mainWindow_.PostMessage(ChangedMessage(which_), 0, 0);
    }
}

void CColorEdit::done(int result) {
    if (result == QDialog::Accepted) {
        // Black as the choice is shown now, as any other colour.
        Apply(currentColor());
    } else {
        SetColour(CurrentColourScheme(), which_, restore_);
        told_ = restore_;
        mainWindow_.PostMessage(ChangedMessage(which_), 0, 0);
    }
    QColorDialog::done(result);
}

}  // namespace ovistra
