// The prompt of a locked station: one password edit, Unlock and Cancel. The typed text is taken
// once and wiped from the dialog.
#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;

namespace ovistra {

class ResourceLibrary;

class CCheckPassword : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 159;
    static constexpr int kPasswordEdit = 1006;

    CCheckPassword(const ResourceLibrary& resources, QWidget* parent);

    QWidget* Control(int id) const;

    // The typed password's bytes; the edit is cleared.
    QByteArray TakeTyped();

private:
    QWidget* form_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

}  // namespace ovistra
