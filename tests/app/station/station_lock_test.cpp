// The password lock of a running station through the real keyboard lock, offscreen: a password
// set, the station locked while it records, input and a close request that reach nothing but
// ask once for the password, a wrong answer said in the prompt that stays open, a cancelled and
// a right answer; what the event lines say.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "c_check_password.h"
#include "c_set_password.h"
#include "dialog_controls.h"
#include "event_log.h"
#include "folders.h"
#include "password_lock.h"
#include "recording_control.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class LockDialog : public ovistra::testing::RecordingDialog {
public:
    using CQuorvaneDlg::Lock;
    using RecordingDialog::RecordingDialog;
};

class StationLock : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        AddSimulatedDevice();
        StoreRecordFolder();
        EventLog::Instance().Enable([this](const QByteArray& line) { lines += line; });
    }
    void TearDown() override { EventLog::Instance().Disable(); }
    QList<QByteArray> Events() const {
        QList<QByteArray> words;
        for (const QByteArray& line : lines.split('\n')) {
            if (const QList<QByteArray> parts = line.split(' '); parts.size() >= 2) {
                words << parts[1];
            }
        }
        return words;
    }
    static void Type(QDialog* dialog, int id, const QString& text) {
        ASSERT_NE(dialog, nullptr);
        auto* edit =
            qobject_cast<QLineEdit*>(dialog->findChild<QWidget*>(QStringLiteral("id%1").arg(id)));
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
    }
    static void Press(QDialog* dialog, int id) {
        ASSERT_NE(dialog, nullptr);
        auto* button = dialog->findChild<QAbstractButton*>(QStringLiteral("id%1").arg(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    QByteArray lines;
};

TEST_F(StationLock, OnlyTheRightPasswordReleasesALockedStationThatRecordsOn) {
    LockDialog dialog(context);
    bool reachedTheEnd = false;
    std::vector<int> prompts;
    auto always = [] { return true; };
    // A prompt other than the one last answered is open.
    QPointer<CCheckPassword> answered;
    auto newPrompt = [&] { return dialog.Lock().prompt() && dialog.Lock().prompt() != answered; };
    // The open prompt, counted and remembered as the one being answered.
    auto answer = [&] {
        prompts.push_back(dialog.Lock().promptPending() ? 1 : 0);
        answered = dialog.Lock().prompt();
        return answered.data();
    };
    std::vector<Step> steps{
        {always,
         [&] {
             dialog.OnCommand(ids::kFirstRecordButton);
             // No password yet: locking asks for one instead.
             dialog.OnCommand(ids::kLockCommand);
             EXPECT_FALSE(dialog.Lock().armed());
             CSetPassword* choose = dialog.Lock().setPasswordDialog();
             ASSERT_NE(choose, nullptr);
             Type(choose, CSetPassword::kNewEdit, "Garden7");
             Type(choose, CSetPassword::kConfirmEdit, "Garden7");
             Press(choose, CSetPassword::kSaveButton);
             dialog.OnCommand(ids::kLockCommand);
             EXPECT_TRUE(dialog.Lock().armed());
         }},
        {always,
         [&] {
             // Keys, clicks (the exit button's too) and a close request reach nothing.
             for (int i = 0; i < 5; ++i) {
                 QTest::keyClick(&dialog, Qt::Key_Escape);
             }
             auto* exit = qobject_cast<QAbstractButton*>(dialog.Control(ids::kExitButton));
             QTest::mouseClick(exit, Qt::LeftButton);
         }},
        {newPrompt,
         [&] {
             CCheckPassword* prompt = answer();
             Type(prompt, CCheckPassword::kPasswordEdit, "garden7");
             Press(prompt, 1);
             EXPECT_TRUE(dialog.Lock().armed());
             // Said in the prompt, which waits for another try with the edit emptied.
             EXPECT_EQ(dialog.Lock().prompt(), prompt);
             EXPECT_TRUE(prompt->isVisible());
             auto* said = qobject_cast<QLabel*>(prompt->Control(CCheckPassword::kRefusedLine));
             auto* edit = qobject_cast<QLineEdit*>(prompt->Control(CCheckPassword::kPasswordEdit));
             ASSERT_TRUE(said && edit);
             EXPECT_FALSE(said->text().isEmpty());
             EXPECT_EQ(said->text(), resources->Text(CCheckPassword::kTextWrongPassword));
             EXPECT_TRUE(edit->text().isEmpty());
             Press(prompt, 2);  // Cancel: still locked, and asked again
             EXPECT_TRUE(dialog.Lock().armed());
             dialog.close();
         }},
        {newPrompt,
         [&] {
             CCheckPassword* prompt = answer();
             Type(prompt, CCheckPassword::kPasswordEdit, "Garden7");
             Press(prompt, 1);
             EXPECT_FALSE(dialog.Lock().armed());
             EXPECT_TRUE(dialog.recording_->IsRecording(1));
             reachedTheEnd = true;
         }},
    };
    // The first step once the capture has run a while, as a user would.
    AfterLoopStarts(dialog, 800, [&] { TakeSteps(dialog, std::move(steps)); });
    EXPECT_TRUE(dialog.RunModal());
    EXPECT_TRUE(reachedTheEnd);  // the station did not close while locked
    EXPECT_EQ(prompts, (std::vector<int>{1, 1}));
    QList<QByteArray> lock;
    for (const QByteArray& word : Events()) {
        if (word.startsWith("lock-") || word.startsWith("unlock-")) {
            lock << word;
        }
    }
    EXPECT_EQ(lock, (QList<QByteArray>{"lock-armed", "unlock-refused", "unlock-refused",
                                       "lock-released"}))
        << lines.toStdString();
    EXPECT_FALSE(lines.contains("Garden7"));
    EXPECT_FALSE(lines.contains("R2FyZGVuNw"));
}

}  // namespace
