#include "keyboard_lock.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

namespace ovistra::platform {
namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
            return true;
        default:
            return false;
    }
}

// Attempts to use the station, as opposed to input that merely follows one.
bool IsAttempt(QEvent::Type type) {
    return type == QEvent::KeyPress || type == QEvent::MouseButtonPress || type == QEvent::Wheel ||
           type == QEvent::TouchBegin || type == QEvent::TabletPress;
}

}  // namespace

KeyboardLock::KeyboardLock(QWidget* window, WindowHandle notify, uint32_t unlockRequest)
    : window_(window), notify_(std::move(notify)), unlockRequest_(unlockRequest) {}

KeyboardLock::~KeyboardLock() {
    Release();
}

void KeyboardLock::Arm() {
    if (state_ != State::Released || !window_) {
        return;
    }
    stateBeforeLock_ = window_->windowState();
    window_->setWindowState(stateBeforeLock_ | Qt::WindowFullScreen);
    SetOnTop(true);
    qApp->installEventFilter(this);
    Grab();
    state_ = State::Armed;
    emit LockedChanged(true);
}

void KeyboardLock::Release() {
    if (state_ == State::Released) {
        return;
    }
    Ungrab();
    qApp->removeEventFilter(this);
    if (window_) {
        SetOnTop(false);
        window_->setWindowState(stateBeforeLock_);
    }
    state_ = State::Released;
    emit LockedChanged(false);
}

void KeyboardLock::Rearm() {
    if (state_ != State::Prompting) {
        return;
    }
    Grab();
    state_ = State::Armed;
}

void KeyboardLock::HandToPrompt() {
    if (state_ != State::Armed) {
        return;
    }
    Ungrab();
    state_ = State::Prompting;
}

void KeyboardLock::SetOnTop(bool onTop) {
    // On the native window: changing the widget's flags would hide it, ending a dialog's loop.
    QWindow* native = window_ ? window_->windowHandle() : nullptr;
    if (!native) {
        return;
    }
    if (onTop) {
        onTopBeforeLock_ = native->flags().testFlag(Qt::WindowStaysOnTopHint);
    }
    native->setFlag(Qt::WindowStaysOnTopHint, onTop || onTopBeforeLock_);
}

void KeyboardLock::Grab() {
    // Grabs need a mapped window; a hidden or headless station is locked by the filter alone.
    if (window_ && window_->isVisible()) {
        window_->grabKeyboard();
        window_->grabMouse();
    }
}

void KeyboardLock::Ungrab() {
    if (window_) {
        window_->releaseKeyboard();
        window_->releaseMouse();
    }
}

bool KeyboardLock::BelongsToMainWindow(QObject* watched) const {
    if (!window_) {
        return false;
    }
    if (watched == static_cast<QObject*>(window_->windowHandle())) {
        return true;
    }
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && widget->window() == window_;
}

bool KeyboardLock::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Close && watched == window_) {
        // Closing the locked station is one more attempt to use it.
        event->ignore();
        if (state_ == State::Armed) {
            notify_.PostMessage(unlockRequest_, 0, 0);
        }
        return true;
    }
    if (!IsInput(type)) {
        return false;
    }
    // While the prompt has input, only the main window stays out of reach.
    if (state_ == State::Prompting && !BelongsToMainWindow(watched)) {
        return false;
    }
    // Swallowed at its first delivery (the window), so each attempt is asked about once.
    if (IsAttempt(type) && state_ == State::Armed) {
        notify_.PostMessage(unlockRequest_, 0, 0);
    }
    return true;
}

}  // namespace ovistra::platform
