#include "password_lock.h"

#include "c_check_password.h"
#include "c_set_password.h"
#include "custom_settings.h"
#include "event_log.h"
#include "keyboard_lock.h"
#include "password_codec.h"

namespace ovistra {
namespace {

// The stored password, decoded; read anew each time so a password set meanwhile counts.
QByteArray StoredPassword(const QString& settingsFile) {
    QString encoded = CustomSettings(settingsFile).LoadPassword();
    const QByteArray password = DecodePassword(encoded.toLatin1());
    Wipe(encoded);
    return password;
}

}  // namespace

PasswordLock::PasswordLock(const ResourceLibrary& resources, QString settingsFile,
                           platform::KeyboardLock& keyboard, QWidget* window)
    : resources_(resources),
      settingsFile_(std::move(settingsFile)),
      keyboard_(keyboard),
      window_(window) {}

PasswordLock::~PasswordLock() = default;

bool PasswordLock::armed() const {
    return keyboard_.state() != platform::KeyboardLock::State::Released;
}

void PasswordLock::OnLockCommand() {
    if (armed()) {
        return;
    }
    QString encoded = CustomSettings(settingsFile_).LoadPassword();
    const bool set = !encoded.isEmpty();
    Wipe(encoded);
    if (!set) {
        OnSetPasswordCommand();  // a lock nobody could open is not armed
        return;
    }
    keyboard_.Arm();
    EventLog::Instance().Print("lock-armed");
}

void PasswordLock::OnSetPasswordCommand() {
    if (setPassword_) {
        setPassword_->raise();
        return;
    }
    setPassword_ = new CSetPassword(resources_, settingsFile_, window_);
    setPassword_->setAttribute(Qt::WA_DeleteOnClose);
    setPassword_->open();
}

void PasswordLock::OnUnlockRequest() {
    // However many keys arrive, one prompt asks.
    if (!armed() || promptPending_) {
        return;
    }
    promptPending_ = true;
    keyboard_.HandToPrompt();
    prompt_ = new CCheckPassword(resources_, window_);
    prompt_->setAttribute(Qt::WA_DeleteOnClose);
    connect(prompt_, &CCheckPassword::unlockAsked, this, &PasswordLock::OnUnlockAsked);
    connect(prompt_, &QDialog::finished, this, &PasswordLock::OnPromptFinished);
    prompt_->open();
}

void PasswordLock::OnUnlockAsked() {
    if (!prompt_) {
        return;
    }
    QByteArray typed = prompt_->TakeTyped();
    QByteArray stored = StoredPassword(settingsFile_);
    const bool right = PasswordsMatch(typed, stored);
    Wipe(typed);
    Wipe(stored);
    if (right) {
        prompt_->accept();
        return;
    }
    // The prompt keeps the input: the user types again rather than waking the station anew.
    EventLog::Instance().Print("unlock-refused");
    prompt_->ShowRefused();
}

void PasswordLock::OnPromptFinished(int result) {
    promptPending_ = false;
    if (prompt_) {
        QByteArray left = prompt_->TakeTyped();  // typed, then cancelled
        Wipe(left);
    }
    // Only a checked password accepts the prompt. Cancel and Escape keep the station locked,
    // and the next attempt to use it asks again.
    if (result == QDialog::Accepted) {
        keyboard_.Release();
        EventLog::Instance().Print("lock-released");
    } else {
        keyboard_.Rearm();
        EventLog::Instance().Print("unlock-refused");
    }
}

}  // namespace ovistra
