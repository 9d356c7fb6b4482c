#include "keyboard_lock.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include "message_window.h"

namespace {

using ovistra::platform::KeyboardLock;
using ovistra::platform::LParam;
using ovistra::platform::LResult;
using ovistra::platform::MessageWindow;
using ovistra::platform::WParam;

constexpr uint32_t kUnlockRequest = 0x0465;

class StationWindow : public QWidget, public MessageWindow {
public:
    StationWindow() : edit(new QLineEdit(this)) {}
    ~StationWindow() override { CloseMailbox(); }
    int requests = 0;
    QLineEdit* edit;

protected:
    LResult OnMessage(uint32_t msg, WParam, LParam) override {
        requests += msg == kUnlockRequest;
        return 0;
    }
};

TEST(KeyboardLock, ArmedStationSwallowsInputAndAsksToUnlockOncePerAttempt) {
    StationWindow window;
    window.show();
    KeyboardLock lock(&window, window.Handle(), kUnlockRequest);
    lock.Arm();
    EXPECT_EQ(lock.state(), KeyboardLock::State::Armed);
    EXPECT_TRUE(window.isFullScreen());

    QTest::keyClicks(window.edit, "abc");
    QTest::mouseClick(window.edit, Qt::LeftButton);
    EXPECT_EQ(window.edit->text(), "");
    QTest::qWait(20);
    EXPECT_EQ(window.requests, 4);  // three key presses and one click

    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
}

TEST(KeyboardLock, PromptTakesInputWhileTheStationStaysLocked) {
    StationWindow window;
    window.show();
    KeyboardLock lock(&window, window.Handle(), kUnlockRequest);
    lock.Arm();
    QDialog prompt;
    auto* password = new QLineEdit(&prompt);
    prompt.show();

    QTest::keyClicks(password, "x");  // not yet handed to the prompt
    EXPECT_EQ(password->text(), "");

    lock.HandToPrompt();
    QTest::keyClicks(password, "secret");
    QTest::keyClicks(window.edit, "y");
    EXPECT_EQ(password->text(), "secret");
    EXPECT_EQ(window.edit->text(), "");
    QTest::qWait(20);
    const int requestsWhilePrompting = window.requests;

    lock.Rearm();  // a wrong password
    EXPECT_EQ(lock.state(), KeyboardLock::State::Armed);
    QTest::keyClicks(password, "z");
    EXPECT_EQ(password->text(), "secret");
    QTest::qWait(20);
    EXPECT_EQ(window.requests, requestsWhilePrompting + 1);
}

TEST(KeyboardLock, ReleaseGivesEverythingBack) {
    StationWindow window;
    window.show();
    {
        KeyboardLock lock(&window, window.Handle(), kUnlockRequest);
        lock.Arm();
        lock.Release();
        EXPECT_EQ(lock.state(), KeyboardLock::State::Released);
        EXPECT_FALSE(window.isFullScreen());
        QTest::keyClicks(window.edit, "ok");
        EXPECT_EQ(window.edit->text(), "ok");
        lock.Arm();
        // Destroying an armed lock releases it, so the lock never outlives its owner.
    }
    QTest::keyClicks(window.edit, "!");
    EXPECT_EQ(window.edit->text(), "ok!");
    QTest::qWait(20);
    EXPECT_EQ(window.requests, 0);
    EXPECT_TRUE(window.close());
}

}  // namespace
