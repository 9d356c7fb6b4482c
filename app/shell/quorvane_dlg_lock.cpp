// The main window's password lock: the lock and set-password commands of its menu, the
// unlock requests the armed keyboard lock posts, and the banner over the pictures while locked.
#include "password_lock.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {

PasswordLock& CQuorvaneDlg::Lock() {
    if (!passwordLock_) {
        passwordLock_ =
            std::make_unique<PasswordLock>(*context_.resources, settingsFile_, keyboardLock_, this);
        // Only the password lock arms the keyboard lock, so nothing is locked before this.
        connect(&keyboardLock_, &platform::KeyboardLock::LockedChanged, this,
                &CQuorvaneDlg::ShowLockOnPictures);
    }
    return *passwordLock_;
}

void CQuorvaneDlg::ShowLockOnPictures(bool locked) {
    const QString banner = locked ? context_.resources->Text(ids::kTextLockBanner) : QString();
    for (PictureOverlay& overlay : overlays_) {
        overlay.SetLockBanner(banner);
    }
}

}  // namespace ovistra
