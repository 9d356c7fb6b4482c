// The colour dialog: the scheme's background and text colours as six numbers 0..255, a picker
// for each colour that previews it live, and "Default". OK and "Default" write the scheme into
// the settings file and tell the main window (1126, 1127); Cancel takes back what the pickers
// previewed. A line under the colours warns while text and background are too close to read,
// and OK asks before keeping such a pair the user chose.
#pragma once

#include <QDialog>
#include <QString>

#include "c_color_edit.h"
#include "colour_scheme.h"
#include "message_window.h"

class QLabel;
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
    static constexpr int kTextContrastWarning = 360;  // takes the ratio
    static constexpr int kTextContrastQuestion = 361;

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

    // The line that warns of text and background too close to read.
    QLabel* contrastWarning() const { return contrastWarning_; }

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
    // The warning line for the edits' colours, or for `candidate` while a picker previews it.
    void ShowContrast();
    void ShowContrast(const ColourScheme& candidate);
    // False when the user would rather not keep colours too close to read.
    bool KeepHardToRead();
    void ShowValues();
    // The scheme for the whole station: in the process at once, in the file when it can be.
    void Commit(const ColourScheme& scheme);
    void Tell(const ColourScheme& before, const ColourScheme& after) const;

    QString settingsFile_;
    platform::WindowHandle mainWindow_;
    QWidget* form_ = nullptr;
    QLabel* contrastWarning_ = nullptr;
    QString warningText_;
    ColourScheme values_;
    ColourScheme opening_;  // the process-wide scheme when the dialog was shown
};

}  // namespace ovistra
