// Window messages and numbered timers for the station's dialogs, on Qt posted events and Qt
// timers. A dialog derives from its QWidget/QDialog class and from MessageWindow; the numbers
// (messages, timer ids) are the callers' own.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

namespace ovistra::platform {

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

struct WindowMailbox;
class MessageEndpoint;

// A cheap, copyable reference to a window that may outlive it.
class WindowHandle {
public:
    WindowHandle() = default;  // null handle

    // Queues the message for the window's thread. Thread-safe. False when the window is gone,
    // and the message is then dropped.
    bool PostMessage(uint32_t msg, WParam w, LParam l) const;

    // Runs the window's handler at once and returns its result. UI thread only: from any other
    // thread, or when the window is gone, nothing is handled and the result is 0 (no thread
    // ever blocks on another here).
    LResult SendMessage(uint32_t msg, WParam w, LParam l) const;

    // Thread-safe; the answer may be stale by the time another thread acts on it.
    bool IsWindow() const;

private:
    friend class MessageWindow;
    explicit WindowHandle(std::shared_ptr<WindowMailbox> mailbox) : mailbox_(std::move(mailbox)) {}

    std::shared_ptr<WindowMailbox> mailbox_;
};

// Mixin, not a QObject itself. Created, used and destroyed on one thread (the UI thread for
// widgets); only Handle().PostMessage and IsWindow may be called from elsewhere.
class MessageWindow {
public:
    MessageWindow();
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    WindowHandle Handle() const;

    // Queued behind every message posted before it; false once the mailbox is closed.
    bool PostMessage(uint32_t msg, WParam w, LParam l);
    LResult SendMessage(uint32_t msg, WParam w, LParam l);

    // Starts numbered timer id, or restarts it with the new period when it runs already.
    // Periods below 10 ms become 10 ms. False once the mailbox is closed or off the window's
    // thread.
    bool SetTimer(uintptr_t id, uint32_t periodMs);
    // False when no timer with that id runs.
    bool KillTimer(uintptr_t id);
    // Stops every numbered timer of the window.
    void KillAllTimers();

protected:
    virtual void OnTimer(uintptr_t id);
    virtual LResult OnMessage(uint32_t msg, WParam w, LParam l);

    // Stops all delivery: pending messages are dropped, timers stop, handles report the window
    // gone. A derived class calls it first in its destructor so nothing reaches a half-destroyed
    // object. Safe to call twice, and from inside a handler.
    void CloseMailbox();

private:
    friend class MessageEndpoint;

    std::shared_ptr<WindowMailbox> mailbox_;
    MessageEndpoint* endpoint_ = nullptr;  // owned; null once closed
};

}  // namespace ovistra::platform
