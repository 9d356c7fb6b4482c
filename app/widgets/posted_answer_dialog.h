// A modeless settings dialog built from a template of the resource library. Every opening (a
// show that is not the desktop restoring it) places it at the top right of its screen and
// fills its controls; it answers once per opening by posting to the main window, which then
// closes it with hide() (close() would answer as Cancel once more).
#pragma once

#include <QDialog>
#include <cstdint>

#include "message_window.h"

class QAbstractButton;
class QShowEvent;

namespace ovistra {

class ResourceLibrary;

// Moves `window` to the top right corner of its screen, size unchanged (on the first opening
// the template's own size).
void PlaceAtTopRight(QWidget& window);

class PostedAnswerDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kConfirmButton = 1;
    static constexpr int kCancelButton = 2;

    ~PostedAnswerDialog() override;

    // The control with this number in the template; null when there is none.
    QWidget* Control(int id) const;

    // The buttons' actions. Confirm reads the controls, then posts; both answer once per
    // opening.
    void OnConfirm();
    void OnCancel();

protected:
    // The resource library must outlive the dialog.
    PostedAnswerDialog(int templateId, const ResourceLibrary& resources,
                       platform::WindowHandle mainWindow, uint32_t confirmMessage,
                       uint32_t cancelMessage, QWidget* parent);

    // A new opening: the controls show the dialog's values.
    virtual void OnOpen() = 0;
    // Confirm: the controls become the dialog's values (only with a template).
    virtual void ReadControls() = 0;
    // Confirm, before the controls are read: false keeps the dialog open, unanswered (the
    // dialog has told the user why).
    virtual bool Confirmable() { return true; }
    // Cancel, before its answer goes out: a dialog that works live puts back what it changed.
    virtual void RevertLiveChanges() {}

    QAbstractButton* Button(int id) const;
    QWidget* form() const { return form_; }
    const ResourceLibrary& resources() const { return resources_; }

    void showEvent(QShowEvent* event) override;
    void accept() override;
    void reject() override;

private:
    void Reply(uint32_t message);

    const ResourceLibrary& resources_;
    platform::WindowHandle mainWindow_;
    uint32_t confirmMessage_;
    uint32_t cancelMessage_;
    QWidget* form_ = nullptr;
    bool replied_ = false;  // this opening has been answered; the main window closes it
};

}  // namespace ovistra
