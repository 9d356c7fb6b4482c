// The colour picker of the colour dialog. While it is open it previews the colour under edit
// live: each colour the user settles on becomes that colour of the process-wide scheme, and
// the main window is told so it repaints. Cancel puts the colour back and tells it again.
#pragma once

#include <QColor>
#include <QColorDialog>
#include <cstdint>
#include <utility>

#include "colour_scheme.h"
#include "message_window.h"

namespace ovistra {

// The two colours of the scheme the picker can edit.
enum class SchemeColour { Background, Text };

QColor ColourOf(const ColourScheme& scheme, SchemeColour which);
void SetColour(ColourScheme& scheme, SchemeColour which, const QColor& colour);

// What the main window is posted when that colour of the scheme changed (1126 or 1127).
uint32_t ChangedMessage(SchemeColour which);

class CColorEdit : public QColorDialog {
    Q_OBJECT

public:
    // `restore` is the colour Cancel puts back into the scheme.
    CColorEdit(SchemeColour which, const QColor& restore, platform::WindowHandle mainWindow,
               QWidget* parent = nullptr);

    void done(int result) override;

private:
    void Preview(const QColor& colour);
    // The colour into the scheme, and the main window told when it shows another.
    void Apply(const QColor& colour);

    SchemeColour which_;
    QColor restore_;
    platform::WindowHandle mainWindow_;
    QColor told_;  // the colour the main window shows
};

}  // namespace ovistra
