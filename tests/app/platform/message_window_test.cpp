#include "message_window.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace ovistra::platform {
namespace {

constexpr int kWaitMs = 10000;
constexpr uintptr_t kHour = 3600 * 1000;

struct Received {
    uint32_t msg;
    WParam w;
    LParam l;
    QThread* thread;
};

// Records what reaches it, also into `delivered` and `ticked`, which outlive the window.
class RecordingWindow : public QWidget, public MessageWindow {
public:
    explicit RecordingWindow(std::vector<Received>* delivered = nullptr,
                             std::vector<uintptr_t>* ticked = nullptr)
        : delivered_(delivered), ticked_(ticked) {}
    ~RecordingWindow() override { CloseMailbox(); }

    void Close() { CloseMailbox(); }
    int Fired(uintptr_t id) const {
        return static_cast<int>(std::count(timers.begin(), timers.end(), id));
    }

    std::vector<Received> messages;
    std::vector<uintptr_t> timers;
    std::function<LResult(uint32_t, WParam, LParam)> onMessage;
    std::function<void(uintptr_t)> onTimer;
    bool destroyInHandler = false;  // the first message or tick deletes the window

protected:
    LResult OnMessage(uint32_t msg, WParam w, LParam l) override {
        const Received received{msg, w, l, QThread::currentThread()};
        messages.push_back(received);
        if (delivered_ != nullptr) {
            delivered_->push_back(received);
        }
        if (destroyInHandler) {
            delete this;
            return 0;
        }
        return onMessage ? onMessage(msg, w, l) : 0;
    }

    void OnTimer(uintptr_t id) override {
        timers.push_back(id);
        if (ticked_ != nullptr) {
            ticked_->push_back(id);
        }
        if (destroyInHandler) {
            delete this;
            return;
        }
        if (onTimer) {
            onTimer(id);
        }
    }

private:
    std::vector<Received>* delivered_;
    std::vector<uintptr_t>* ticked_;
};

std::vector<uint32_t> Numbers(const std::vector<Received>& received) {
    std::vector<uint32_t> numbers;
    for (const Received& r : received) {
        numbers.push_back(r.msg);
    }
    return numbers;
}

TEST(MessageWindowMessages, PostedMessagesArriveInOrderOnlyFromTheEventLoop) {
    RecordingWindow window;
    ASSERT_TRUE(window.PostMessage(1825, 7, -3));
    ASSERT_TRUE(window.Handle().PostMessage(0x0400 + 554, UINTPTR_MAX, INTPTR_MIN));
    ASSERT_TRUE(window.PostMessage(3, 0, INTPTR_MAX));
    EXPECT_TRUE(window.messages.empty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == 3; }, kWaitMs));
    EXPECT_EQ(Numbers(window.messages), (std::vector<uint32_t>{1825, 0x0400 + 554, 3}));
    EXPECT_EQ(window.messages[0].w, 7u);
    EXPECT_EQ(window.messages[0].l, -3);
    EXPECT_EQ(window.messages[1].w, UINTPTR_MAX);
    EXPECT_EQ(window.messages[1].l, INTPTR_MIN);
    EXPECT_EQ(window.messages[2].l, INTPTR_MAX);
}

TEST(MessageWindowMessages, SendIsSynchronousAndReturnsTheHandlersResult) {
    RecordingWindow window;
    window.onMessage = [](uint32_t msg, WParam w, LParam) { return LResult(msg * 10 + w); };
    EXPECT_EQ(window.SendMessage(12, 3, 0), 123);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.Handle().SendMessage(4, 5, 0), 45);
    EXPECT_EQ(window.messages.size(), 2u);
}

TEST(MessageWindowMessages, SendFromAPostedHandlerRunsBeforeTheNextPostedMessage) {
    RecordingWindow window;
    window.onMessage = [&](uint32_t msg, WParam, LParam) -> LResult {
        if (msg == 1) {
            EXPECT_EQ(window.SendMessage(100, 0, 0), 0);
            window.PostMessage(4, 0, 0);  // queued behind 2
        }
        return 0;
    };
    window.PostMessage(1, 0, 0);
    window.PostMessage(2, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == 4; }, kWaitMs));
    EXPECT_EQ(Numbers(window.messages), (std::vector<uint32_t>{1, 100, 2, 4}));
}

TEST(MessageWindowThreads, MessagesPostedFromAnotherThreadArriveInOrderOnTheWindowsThread) {
    RecordingWindow window;
    const WindowHandle handle = window.Handle();
    constexpr uint32_t kCount = 2000;
    std::atomic<uint32_t> refused{0};
    std::thread poster([&] {
        for (uint32_t i = 0; i < kCount; ++i) {
            if (!handle.PostMessage(i, i, -LParam(i))) {
                ++refused;
            }
        }
    });
    poster.join();
    EXPECT_EQ(refused.load(), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.messages.size() == kCount; }, kWaitMs));
    for (uint32_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(window.messages[i].msg, i);
        ASSERT_EQ(window.messages[i].l, -LParam(i));
        ASSERT_EQ(window.messages[i].thread, QThread::currentThread());
    }
}

TEST(MessageWindowThreads, SendFromAnotherThreadIsRefusedAndNothingIsHandled) {
    RecordingWindow window;
    window.onMessage = [](uint32_t, WParam, LParam) -> LResult { return 99; };
    const WindowHandle handle = window.Handle();
    LResult result = -1;
    bool timerStarted = true;
    std::thread other([&] {
        result = handle.SendMessage(5, 0, 0);
        timerStarted = window.SetTimer(1, 10);
    });
    other.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(timerStarted);
    QTest::qWait(20);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.timers.empty());
}

TEST(MessageWindowThreads, PostingWhileTheWindowIsDestroyedNeverAcceptsAfterRefusing) {
    std::vector<Received> delivered;
    auto* window = new RecordingWindow(&delivered);
    const WindowHandle handle = window->Handle();
    std::atomic<bool> sawRefusal{false};
    std::atomic<bool> acceptedAfterRefusal{false};
    std::atomic<int> accepted{0};
    std::thread poster([&] {
        for (uint32_t i = 0; !sawRefusal; ++i) {
            if (handle.PostMessage(i, 0, 0)) {
                ++accepted;
            } else {
                sawRefusal = true;
            }
        }
        for (int i = 0; i < 1000; ++i) {
            if (handle.PostMessage(1, 0, 0) || handle.IsWindow()) {
                acceptedAfterRefusal = true;
            }
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() >= 100; }, kWaitMs));
    delete window;
    poster.join();
    const size_t deliveredAtDestruction = delivered.size();
    QTest::qWait(20);

    EXPECT_FALSE(acceptedAfterRefusal);
    EXPECT_EQ(delivered.size(), deliveredAtDestruction);
    EXPECT_LE(delivered.size(), size_t(accepted.load()));
    for (size_t i = 0; i < delivered.size(); ++i) {
        ASSERT_EQ(delivered[i].msg, i);
    }
}

TEST(MessageWindowLifetime, AMessagePendingWhenTheWindowDiesIsDropped) {
    std::vector<Received> delivered;
    auto* window = new RecordingWindow(&delivered);
    const WindowHandle handle = window->Handle();
    ASSERT_TRUE(handle.IsWindow());
    ASSERT_TRUE(window->PostMessage(1825, 1, 2));
    ASSERT_TRUE(window->SetTimer(906, 10));
    delete window;

    EXPECT_FALSE(handle.IsWindow());
    EXPECT_FALSE(handle.PostMessage(1825, 1, 2));
    EXPECT_EQ(handle.SendMessage(1825, 1, 2), 0);
    QTest::qWait(50);
    EXPECT_TRUE(delivered.empty());
}

TEST(MessageWindowLifetime, ANullHandleRefusesEverything) {
    const WindowHandle handle;
    EXPECT_FALSE(handle.IsWindow());
    EXPECT_FALSE(handle.PostMessage(1, 2, 3));
    EXPECT_EQ(handle.SendMessage(1, 2, 3), 0);
}

TEST(MessageWindowLifetime, AClosedMailboxRefusesMessagesAndTimers) {
    RecordingWindow window;
    window.onMessage = [](uint32_t, WParam, LParam) -> LResult { return 7; };
    ASSERT_TRUE(window.SetTimer(1, 10));
    window.PostMessage(2, 0, 0);
    window.Close();
    window.Close();

    EXPECT_FALSE(window.Handle().IsWindow());
    EXPECT_FALSE(window.PostMessage(3, 0, 0));
    EXPECT_EQ(window.SendMessage(4, 0, 0), 0);
    EXPECT_FALSE(window.SetTimer(5, 10));
    EXPECT_FALSE(window.KillTimer(1));
    QTest::qWait(50);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.timers.empty());
}

TEST(MessageWindowLifetime, AWindowDestroyedByItsOwnHandlerGetsNothingMore) {
    std::vector<Received> delivered;
    auto* window = new RecordingWindow(&delivered);
    const WindowHandle handle = window->Handle();
    window->destroyInHandler = true;
    window->SetTimer(2, kHour);
    window->PostMessage(1, 0, 0);
    window->PostMessage(3, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !handle.IsWindow(); }, kWaitMs));
    QTest::qWait(50);
    EXPECT_EQ(Numbers(delivered), (std::vector<uint32_t>{1}));

    // The same from a timer handler, with a second timer due at the same moment.
    std::vector<uintptr_t> ticked;
    auto* ticking = new RecordingWindow(nullptr, &ticked);
    const WindowHandle tickingHandle = ticking->Handle();
    ticking->destroyInHandler = true;
    ticking->SetTimer(9, 10);
    ticking->SetTimer(10, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tickingHandle.IsWindow(); }, kWaitMs));
    QTest::qWait(50);
    EXPECT_EQ(ticked.size(), 1u);
}

TEST(MessageWindowTimers, TimersFireRepeatedlyAndAreToldApart) {
    RecordingWindow window;
    ASSERT_TRUE(window.SetTimer(906, 10));
    ASSERT_TRUE(window.SetTimer(907, 25));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.Fired(906) >= 2 && window.Fired(907) >= 2; }, kWaitMs));
    EXPECT_TRUE(window.KillTimer(906));
    EXPECT_TRUE(window.KillTimer(907));
    EXPECT_FALSE(window.KillTimer(906));
    const size_t fired = window.timers.size();
    QTest::qWait(60);
    EXPECT_EQ(window.timers.size(), fired);
}

TEST(MessageWindowTimers, KillAllTimersStopsEveryTimerAndLeavesTheWindowUsable) {
    RecordingWindow window;
    ASSERT_TRUE(window.SetTimer(906, 10));
    ASSERT_TRUE(window.SetTimer(908, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Fired(906) >= 1; }, kWaitMs));
    window.KillAllTimers();
    EXPECT_FALSE(window.KillTimer(906));
    EXPECT_FALSE(window.KillTimer(908));
    const size_t fired = window.timers.size();
    QTest::qWait(60);
    EXPECT_EQ(window.timers.size(), fired);
    ASSERT_TRUE(window.SetTimer(909, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Fired(909) >= 1; }, kWaitMs));
}

TEST(MessageWindowTimers, KillTimerOfAnUnknownIdReturnsFalse) {
    RecordingWindow window;
    EXPECT_FALSE(window.KillTimer(42));
    ASSERT_TRUE(window.SetTimer(41, 1000));
    EXPECT_FALSE(window.KillTimer(42));
    EXPECT_TRUE(window.KillTimer(41));
}

// A short reference timer shows time has passed without assuming anything about speed.
TEST(MessageWindowTimers, ATimerKilledInItsOwnHandlerFiresOnce) {
    RecordingWindow window;
    window.onTimer = [&](uintptr_t id) {
        if (id == 1) {
            EXPECT_TRUE(window.KillTimer(1));
        }
    };
    ASSERT_TRUE(window.SetTimer(1, 10));
    ASSERT_TRUE(window.SetTimer(2, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Fired(2) >= 6; }, kWaitMs));
    EXPECT_EQ(window.Fired(1), 1);
}

TEST(MessageWindowTimers, ResettingATimerReplacesItWithTheNewPeriod) {
    RecordingWindow window;
    ASSERT_TRUE(window.SetTimer(7, 10));
    ASSERT_TRUE(window.SetTimer(7, kHour));
    ASSERT_TRUE(window.SetTimer(2, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Fired(2) >= 6; }, kWaitMs));
    EXPECT_EQ(window.Fired(7), 0);
    EXPECT_TRUE(window.KillTimer(7));
    EXPECT_FALSE(window.KillTimer(7));
}

TEST(MessageWindowTimers, HandlersMayResetTheirOwnTimerAndStartOthers) {
    RecordingWindow window;
    window.onTimer = [&](uintptr_t id) {
        if (id == 1) {
            EXPECT_TRUE(window.SetTimer(1, kHour));
            EXPECT_TRUE(window.SetTimer(3, 10));
        }
    };
    ASSERT_TRUE(window.SetTimer(1, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Fired(3) >= 6; }, kWaitMs));
    EXPECT_EQ(window.Fired(1), 1);
}

TEST(MessageWindowTimers, ExtremePeriodsAreClampedNotRefused) {
    RecordingWindow window;
    ASSERT_TRUE(window.SetTimer(1, UINT32_MAX));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(window.SetTimer(0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Fired(0) >= 3; }, kWaitMs));
    QTest::qWait(30);
    // A timer never fires before its period is up, so this bound holds on any machine load; a
    // zero-period timer would fire on every loop pass.
    EXPECT_LE(window.Fired(0), clock.elapsed() / 10 + 1);
    EXPECT_EQ(window.Fired(1), 0);
    EXPECT_TRUE(window.KillTimer(1));
}

}  // namespace
}  // namespace ovistra::platform
