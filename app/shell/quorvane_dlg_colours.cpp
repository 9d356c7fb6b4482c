// The main window's colours: the colour dialog opened from the context menu, and the scheme it
// sets taken up live by the window and by every owner-drawn button of the station.
#include <QApplication>

#include "c_color_button.h"
#include "c_set_color.h"
#include "quorvane_dlg.h"

namespace ovistra {

void CQuorvaneDlg::OpenColourDialog() {
    if (!colourDlg_) {
        colourDlg_ = new CSetColor(*context_.resources, settingsFile_, Handle(), this);
    }
    if (colourDlg_->isVisible()) {
        colourDlg_->raise();
        colourDlg_->activateWindow();
        return;
    }
    // Modal for the window without blocking its timers and messages.
    colourDlg_->open();
}

void CQuorvaneDlg::OnColoursChanged() {
    // The scheme in force is the one the dialog set; the file may not hold it (a failed write).
    ApplyColours();
    ApplyLayout();
    if (switchState_.cyclingView.load()) {
        // The large picture is built anew in the new colours.
        SetCyclingView(false);
        SetCyclingView(true);
    }
    // Buttons of other windows (playback, picture browser) repaint in the new scheme too.
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* button = qobject_cast<CColorButton*>(widget)) {
            button->update();
        }
    }
}

}  // namespace ovistra
