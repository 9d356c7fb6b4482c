#include "c_check_password.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "password_codec.h"
#include "resource_library.h"

namespace ovistra {

CCheckPassword::CCheckPassword(const ResourceLibrary& resources, QWidget* parent)
    : QDialog(parent), resources_(resources) {
    form_ = resources.LoadTemplateInto(kTemplate, this);
    if (!form_) {
        return;
    }
    edit_ = qobject_cast<QLineEdit*>(Control(kPasswordEdit));
    if (auto* unlock = qobject_cast<QAbstractButton*>(Control(1))) {
        connect(unlock, &QAbstractButton::clicked, this, &CCheckPassword::unlockAsked);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(Control(2))) {
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    }
}

QWidget* CCheckPassword::Control(int id) const {
    return form_ ? ResourceLibrary::FindControl(form_, id) : nullptr;
}

QByteArray CCheckPassword::TakeTyped() {
    if (!edit_) {
        return {};
    }
    QString text = edit_->text();
    const QByteArray bytes = text.toUtf8();
    Wipe(text);
    edit_->clear();
    return bytes;
}

void CCheckPassword::ShowRefused() {
    if (auto* line = qobject_cast<QLabel*>(Control(kRefusedLine))) {
        line->setText(resources_.Text(kTextWrongPassword));
    }
    if (edit_) {
        edit_->setFocus();
    }
}

}  // namespace ovistra
