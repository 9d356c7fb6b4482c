// The colour dialog: the scheme's background and text colours as six numbers 0..255, a picker
// for each colour that previews it live, and "Default". OK and "Default" write the scheme into
// the settings file and tell the main window (1126, 1127); Cancel takes back what the pickers
// previewed.
#pragma once

#include <QDialog>
#include <QString>

#include "c_color_edit.h"
#include "colour_scheme.h"
#include "message_window.h"

class QShowEvent;

namespace ovistra {

class ResourceLibrary;

class CSetColor : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 161;
    static constexpr int kConfirmButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kBackgroundEdits[3] = {1006, 1007, 1008};  // red, green, blue
    static constexpr int kTextEdits[3] = {1009, 1010, 1055};
    static constexpr int kBackgroundPicker = 1049;
    static constexpr int kTextPicker = 1050;
    static constexpr int kDefaultButton = 1012;

    // Starts from the process-wide scheme, which the main window read from `settingsFile` and
    // every confirmation keeps in step with it. The resource library must outlive the dialog.
    CSetColor(const ResourceLibrary& resources, QString settingsFile,
              platform::WindowHandle mainWindow, QWidget* parent = nullptr);

    // The control with this number in the template; null when there is none.
    QWidget* Control(int id) const;

    // The dialog's own copy of the scheme, as last taken from the edits or a picker.
    const ColourScheme& values() const { return values_; }

    // The picker opened by the button of that colour, while it is open; null otherwise.
    CColorEdit* picker() const;

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnPick(SchemeColour which);
    void OnPicked(SchemeColour which, const QColor& colour);
    void OnDefault();
    // The edits into values_; false, with the range message and the edit in focus, when one
    // holds no number 0..255.
    bool ReadEdits();
    void ShowValues();
    // The scheme for the whole station: in the process at once, in the file when it can be.
    void Commit(const ColourScheme& scheme);
    void Tell(const ColourScheme& before, const ColourScheme& after) const;

    QString settingsFile_;
    platform::WindowHandle mainWindow_;
    QWidget* form_ = nullptr;
    ColourScheme values_;
    ColourScheme opening_;  // the process-wide scheme when the dialog was shown
};

}  // namespace ovistra
