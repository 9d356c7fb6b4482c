#include "posted_answer_dialog.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include "resource_library.h"

namespace ovistra {

void PlaceAtTopRight(QWidget& window) {
    QScreen* where = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!where) {
        return;
    }
    const QRect area = where->availableGeometry();
    if (!window.testAttribute(Qt::WA_Resized)) {
        window.adjustSize();  // first opening: the template's own size
    }
    window.move(area.right() - window.frameGeometry().width() + 1, area.top());
}

PostedAnswerDialog::PostedAnswerDialog(int templateId, const ResourceLibrary& resources,
                                       platform::WindowHandle mainWindow, uint32_t confirmMessage,
                                       uint32_t cancelMessage, QWidget* parent)
    : QDialog(parent),
      resources_(resources),
      mainWindow_(std::move(mainWindow)),
      confirmMessage_(confirmMessage),
      cancelMessage_(cancelMessage) {
    form_ = resources_.LoadTemplateInto(templateId, this);
    if (!form_) {
        return;
    }
    if (QAbstractButton* confirm = Button(kConfirmButton)) {
        connect(confirm, &QAbstractButton::clicked, this, &PostedAnswerDialog::OnConfirm);
    }
    if (QAbstractButton* cancel = Button(kCancelButton)) {
        connect(cancel, &QAbstractButton::clicked, this, &PostedAnswerDialog::OnCancel);
    }
}

PostedAnswerDialog::~PostedAnswerDialog() = default;

QWidget* PostedAnswerDialog::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QAbstractButton* PostedAnswerDialog::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Control(id));
}

void PostedAnswerDialog::showEvent(QShowEvent* event) {
    // Our own show, not the desktop restoring a minimised window: a new opening.
    if (!event->spontaneous()) {
        replied_ = false;
        if (form_) {
            PlaceAtTopRight(*this);
            OnOpen();
        }
    }
    QDialog::showEvent(event);
}

void PostedAnswerDialog::OnConfirm() {
    if (replied_) {
        return;
    }
    if (form_) {
        if (!Confirmable()) {
            return;
        }
        ReadControls();
    }
    Reply(confirmMessage_);
}

void PostedAnswerDialog::OnCancel() {
    if (replied_) {
        return;
    }
    if (form_) {
        RevertLiveChanges();
    }
    Reply(cancelMessage_);
}

void PostedAnswerDialog::Reply(uint32_t message) {
    replied_ = true;
    // The main window closes us when it takes the answer; with no main window left, close here
    // so the dialog cannot get stuck on screen.
    if (!mainWindow_.PostMessage(message, 0, 0)) {
        hide();
    }
}

void PostedAnswerDialog::accept() {
    OnConfirm();
}

void PostedAnswerDialog::reject() {
    // Escape or the title bar's close button answer as Cancel does; once answered (the main
    // window closing us), close for real.
    if (replied_) {
        QDialog::reject();
        return;
    }
    OnCancel();
}

}  // namespace ovistra
