#include "c_set_password.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QShowEvent>

#include "custom_settings.h"
#include "message_box.h"
#include "password_codec.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kTextPasswordNotSaved = 270;

QByteArray TakeText(QLineEdit* edit) {
    if (!edit) {
        return {};
    }
    QString text = edit->text();
    const QByteArray bytes = text.toUtf8();
    Wipe(text);
    return bytes;
}

}  // namespace

CSetPassword::CSetPassword(const ResourceLibrary& resources, QString settingsFile, QWidget* parent)
    : QDialog(parent), resources_(resources), settingsFile_(std::move(settingsFile)) {
    const CustomSettings settings(settingsFile_);
    QString encoded = settings.LoadPassword();
    stored_ = DecodePassword(encoded.toLatin1());
    Wipe(encoded);
    checkState_ = settings.LoadCheckState();

    form_ = resources_.LoadTemplateInto(kTemplate, this);
    if (!form_) {
        return;
    }
    for (int id : {kNewEdit, kConfirmEdit}) {
        if (QLineEdit* edit = Edit(id)) {
            edit->setMaxLength(kNewPasswordBytes);
        }
    }
    if (auto* save = qobject_cast<QAbstractButton*>(Control(kSaveButton))) {
        connect(save, &QAbstractButton::clicked, this, &CSetPassword::OnSave);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(Control(2))) {
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    }
}

CSetPassword::~CSetPassword() {
    Wipe(stored_);
}

QWidget* CSetPassword::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QLineEdit* CSetPassword::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

void CSetPassword::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        for (int id : {kNewEdit, kConfirmEdit, kOldEdit}) {
            if (QLineEdit* edit = Edit(id)) {
                edit->clear();
            }
        }
        if (QLineEdit* old = Edit(kOldEdit)) {
            old->setEnabled(!stored_.isEmpty());
        }
        if (checkState_ == 0) {
            // Created where missing, never emptied: the file may hold the colours.
            CustomSettings(settingsFile_).CreateFile();
        }
    }
    QDialog::showEvent(event);
}

void CSetPassword::OnSave() {
    QByteArray old = TakeText(Edit(kOldEdit));
    const bool oldRight = stored_.isEmpty() || PasswordsMatch(old, stored_);
    Wipe(old);
    if (!oldRight) {
        if (QLineEdit* edit = Edit(kOldEdit)) {
            edit->clear();
            edit->setFocus();
        }
        return;
    }
    QByteArray chosen = TakeText(Edit(kNewEdit));
    QByteArray confirmed = TakeText(Edit(kConfirmEdit));
    QByteArray encoded = EncodePassword(chosen);
    // The file keeps 31 characters: a longer encoding could never unlock again.
    const bool usable =
        PasswordsMatch(chosen, confirmed) && encoded.size() <= CustomSettings::kPasswordChars;
    Wipe(chosen);
    Wipe(confirmed);
    if (!usable) {
        Wipe(encoded);
        if (QLineEdit* edit = Edit(kNewEdit)) {
            edit->setFocus();
        }
        return;
    }
    CustomSettings(settingsFile_).CreateFile();  // a folder removed meanwhile comes back
    const bool saved = CustomSettings(settingsFile_).SavePassword(QString::fromLatin1(encoded));
    Wipe(encoded);
    if (!saved) {
        platform::MessageBoxes::Instance().Show(kTextPasswordNotSaved, ids::kCaptionGeneral,
                                                platform::MessageIcon::Warning,
                                                platform::MessageButtons::Ok, this);
        return;
    }
    for (int id : {kNewEdit, kConfirmEdit, kOldEdit}) {
        if (QLineEdit* edit = Edit(id)) {
            edit->clear();
        }
    }
    accept();
}

}  // namespace ovistra
