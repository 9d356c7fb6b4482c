// The prompt of a locked station: one password edit, Unlock and Cancel. Unlock only asks its
// owner to check the typed text; a refused password is said in the prompt, which stays open for
// another try. The typed text is taken once and wiped from the dialog.
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
    static constexpr int kRefusedLine = 1009;
    static constexpr int kTextWrongPassword = 374;

    CCheckPassword(const ResourceLibrary& resources, QWidget* parent);

    QWidget* Control(int id) const;

    // The typed password's bytes; the edit is cleared.
    QByteArray TakeTyped();

    // The typed password was wrong: said so, and the edit waits for the next try.
    void ShowRefused();

signals:
    void unlockAsked();

private:
    const ResourceLibrary& resources_;
    QWidget* form_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

}  // namespace ovistra
