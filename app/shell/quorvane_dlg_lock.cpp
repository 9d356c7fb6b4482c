// The main window's password lock: the lock and set-password commands of its menu, and the
// unlock requests the armed keyboard lock posts.
#include "password_lock.h"
#include "quorvane_dlg.h"

namespace ovistra {

PasswordLock& CQuorvaneDlg::Lock() {
    if (!passwordLock_) {
        passwordLock_ =
            std::make_unique<PasswordLock>(*context_.resources, settingsFile_, keyboardLock_, this);
    }
    return *passwordLock_;
}

}  // namespace ovistra
