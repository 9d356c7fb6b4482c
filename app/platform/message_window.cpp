#include "message_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <climits>
#include <mutex>
#include <unordered_map>

namespace ovistra::platform {

// Shared by the window and every handle to it, so a handle never touches a destroyed window.
struct WindowMailbox {
    explicit WindowMailbox(QThread* windowThread) : thread(windowThread) {}

    QThread* const thread;  // the window's thread; never changes

    // --- guarded by lock
    std::mutex lock;
    MessageEndpoint* endpoint = nullptr;  // null once the mailbox is closed

    // --- window's thread only
    int dispatchDepth = 0;  // handlers of this window on the stack
};

namespace {

class MessageEvent final : public QEvent {
public:
    MessageEvent(uint32_t message, WParam wParam, LParam lParam)
        : QEvent(Kind()), msg(message), w(wParam), l(lParam) {}

    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }

    const uint32_t msg;
    const WParam w;
    const LParam l;
};

// Holds its own reference to the mailbox: the handler may close the window, and with it the
// endpoint that started the dispatch.
class DispatchScope {
public:
    explicit DispatchScope(std::shared_ptr<WindowMailbox> mailbox) : mailbox_(std::move(mailbox)) {
        ++mailbox_->dispatchDepth;
    }
    ~DispatchScope() { --mailbox_->dispatchDepth; }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

private:
    std::shared_ptr<WindowMailbox> mailbox_;
};

int TimerIntervalMs(uint32_t periodMs) {
    // A zero-period Qt timer fires on every pass of the event loop and starves it.
    constexpr uint32_t kShortestMs = 10;
    return static_cast<int>(std::clamp<uint32_t>(periodMs, kShortestMs, INT_MAX));
}

}  // namespace

// Receives the window's posted messages and timer events on the window's thread and hands them
// to the window. Window's thread only.
class MessageEndpoint final : public QObject {
public:
    MessageEndpoint(MessageWindow* owner, std::shared_ptr<WindowMailbox> mailbox)
        : owner_(owner), mailbox_(std::move(mailbox)) {}

    LResult Deliver(uint32_t msg, WParam w, LParam l) {
        MessageWindow* owner = owner_;
        if (owner == nullptr) {
            return 0;
        }
        DispatchScope scope(mailbox_);
        return owner->OnMessage(msg, w, l);
    }

    bool StartTimer(uintptr_t id, int intervalMs) {
        if (QThread::currentThread() != thread() || owner_ == nullptr) {
            return false;
        }
        StopTimer(id);
        const int qtTimerId = startTimer(intervalMs, Qt::PreciseTimer);
        if (qtTimerId == 0) {
            return false;
        }
        qtTimerById_[id] = qtTimerId;
        idByQtTimer_[qtTimerId] = id;
        return true;
    }

    bool StopTimer(uintptr_t id) {
        if (QThread::currentThread() != thread()) {
            return false;
        }
        const auto it = qtTimerById_.find(id);
        if (it == qtTimerById_.end()) {
            return false;
        }
        killTimer(it->second);
        idByQtTimer_.erase(it->second);
        qtTimerById_.erase(it);
        return true;
    }

    void StopAllTimers() {
        for (const auto& [id, qtTimerId] : qtTimerById_) {
            killTimer(qtTimerId);
        }
        qtTimerById_.clear();
        idByQtTimer_.clear();
    }

    // After this nothing reaches the owner.
    void Detach() {
        owner_ = nullptr;
        StopAllTimers();
    }

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == MessageEvent::Kind()) {
            const auto* message = static_cast<const MessageEvent*>(event);
            Deliver(message->msg, message->w, message->l);
        }
    }

    void timerEvent(QTimerEvent* event) override {
        const auto it = idByQtTimer_.find(event->timerId());
        MessageWindow* owner = owner_;
        if (it == idByQtTimer_.end() || owner == nullptr) {
            return;
        }
        const uintptr_t id = it->second;
        DispatchScope scope(mailbox_);
        owner->OnTimer(id);
    }

private:
    MessageWindow* owner_;
    const std::shared_ptr<WindowMailbox> mailbox_;
    std::unordered_map<uintptr_t, int> qtTimerById_;
    std::unordered_map<int, uintptr_t> idByQtTimer_;
};

bool WindowHandle::PostMessage(uint32_t msg, WParam w, LParam l) const {
    if (!mailbox_) {
        return false;
    }
    // The lock keeps the endpoint alive until the event is queued; Qt drops queued events of an
    // object when it is deleted.
    std::lock_guard<std::mutex> guard(mailbox_->lock);
    if (mailbox_->endpoint == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(mailbox_->endpoint, new MessageEvent(msg, w, l));
    return true;
}

LResult WindowHandle::SendMessage(uint32_t msg, WParam w, LParam l) const {
    if (!mailbox_ || QThread::currentThread() != mailbox_->thread) {
        return 0;
    }
    MessageEndpoint* endpoint = nullptr;
    {
        std::lock_guard<std::mutex> guard(mailbox_->lock);
        endpoint = mailbox_->endpoint;
    }
    // Only this thread deletes the endpoint, so it stays valid without the lock.
    return endpoint != nullptr ? endpoint->Deliver(msg, w, l) : 0;
}

bool WindowHandle::IsWindow() const {
    if (!mailbox_) {
        return false;
    }
    std::lock_guard<std::mutex> guard(mailbox_->lock);
    return mailbox_->endpoint != nullptr;
}

MessageWindow::MessageWindow()
    : mailbox_(std::make_shared<WindowMailbox>(QThread::currentThread())),
      endpoint_(new MessageEndpoint(this, mailbox_)) {
    std::lock_guard<std::mutex> guard(mailbox_->lock);
    mailbox_->endpoint = endpoint_;
}

MessageWindow::~MessageWindow() {
    CloseMailbox();
}

WindowHandle MessageWindow::Handle() const {
    return WindowHandle(mailbox_);
}

bool MessageWindow::PostMessage(uint32_t msg, WParam w, LParam l) {
    return Handle().PostMessage(msg, w, l);
}

LResult MessageWindow::SendMessage(uint32_t msg, WParam w, LParam l) {
    return Handle().SendMessage(msg, w, l);
}

bool MessageWindow::SetTimer(uintptr_t id, uint32_t periodMs) {
    return endpoint_ != nullptr && endpoint_->StartTimer(id, TimerIntervalMs(periodMs));
}

bool MessageWindow::KillTimer(uintptr_t id) {
    return endpoint_ != nullptr && endpoint_->StopTimer(id);
}

void MessageWindow::KillAllTimers() {
    if (endpoint_ != nullptr) {
        endpoint_->StopAllTimers();
    }
}

void MessageWindow::OnTimer(uintptr_t /*id*/) {}

LResult MessageWindow::OnMessage(uint32_t /*msg*/, WParam /*w*/, LParam /*l*/) {
    return 0;
}

void MessageWindow::CloseMailbox() {
    MessageEndpoint* endpoint = std::exchange(endpoint_, nullptr);
    if (endpoint == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(mailbox_->lock);
        mailbox_->endpoint = nullptr;
    }
    endpoint->Detach();
    QCoreApplication::removePostedEvents(endpoint);
    // Closed from inside one of our own handlers, the endpoint may be the receiver Qt is
    // delivering to right now.
    if (mailbox_->dispatchDepth > 0) {
        endpoint->deleteLater();
    } else {
        delete endpoint;
    }
}

}  // namespace ovistra::platform
