// Locks the station against passers-by: while armed the main window stays full screen and on
// top, owns keyboard and mouse, swallows all input to the program and asks the window to unlock
// (one request message per key press, click, wheel turn or close request). A prompt may be given
// input; release hands everything back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "message_window.h"

namespace ovistra::platform {

class KeyboardLock : public QObject {
    Q_OBJECT

public:
    enum class State { Released, Armed, Prompting };

    // window is the main window; unlockRequest is the message posted to it on input.
    KeyboardLock(QWidget* window, WindowHandle notify, uint32_t unlockRequest);
    ~KeyboardLock() override;

    void Arm();           // locks the station
    void Release();       // unlocks it; safe in any state
    void Rearm();         // back to locked after a wrong password
    void HandToPrompt();  // input may reach windows other than the main window

    State state() const { return state_; }

signals:
    // Armed from released, or released: the station became locked or free.
    void LockedChanged(bool locked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetOnTop(bool onTop);
    void Grab();
    void Ungrab();
    bool BelongsToMainWindow(QObject* watched) const;

    QPointer<QWidget> window_;
    WindowHandle notify_;
    uint32_t unlockRequest_;
    State state_ = State::Released;
    Qt::WindowStates stateBeforeLock_;
    bool onTopBeforeLock_ = false;
};

}  // namespace ovistra::platform
