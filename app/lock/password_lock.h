// The station's password lock: the lock command arms the keyboard lock when a password is set
// (else asks for one), input while armed asks for the password in a prompt, and only the right
// password releases the station. A wrong one is said in the prompt, which stays open for another
// try; Cancel and Escape close it and keep the station locked.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "c_check_password.h"
#include "c_set_password.h"

namespace ovistra {

namespace platform {
class KeyboardLock;
}

class ResourceLibrary;

class PasswordLock : public QObject {
    Q_OBJECT

public:
    // `keyboard` locks `window`; both must outlive this object. `settingsFile` is the program
    // folder's "CustomSetting.dt".
    PasswordLock(const ResourceLibrary& resources, QString settingsFile,
                 platform::KeyboardLock& keyboard, QWidget* window);
    ~PasswordLock() override;

    void OnLockCommand();         // lock the station
    void OnSetPasswordCommand();  // choose a password
    void OnUnlockRequest();       // someone tried to use the locked station

    bool armed() const;
    bool promptPending() const { return promptPending_; }
    CCheckPassword* prompt() const { return prompt_; }
    CSetPassword* setPasswordDialog() const { return setPassword_; }

private:
    void OnUnlockAsked();
    void OnPromptFinished(int result);

    const ResourceLibrary& resources_;
    QString settingsFile_;
    platform::KeyboardLock& keyboard_;
    QWidget* window_;
    bool promptPending_ = false;
    QPointer<CCheckPassword> prompt_;
    QPointer<CSetPassword> setPassword_;
};

}  // namespace ovistra
