#include "message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <thread>

namespace ovistra::platform {
namespace {

QString LookUp(int id) {
    return QStringLiteral("text %1").arg(id);
}

class MessageBoxesTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(MessageBoxes::Mode::Headless); }
    void TearDown() override { Reset(MessageBoxes::Mode::Headless); }

    static void Reset(MessageBoxes::Mode mode) {
        boxes().Configure(mode, LookUp);
        boxes().SetListener(nullptr);
        boxes().ClearHistory();
    }
    static MessageBoxes& boxes() { return MessageBoxes::Instance(); }
};

QMessageBox* OpenMessageBox() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        return box;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Polls from inside the box's own event loop and hands the box, once open, to `act`.
std::unique_ptr<QTimer> WhenBoxOpens(std::function<void(QMessageBox*)> act) {
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(10);
    QTimer* raw = poll.get();
    QObject::connect(raw, &QTimer::timeout, raw, [raw, act = std::move(act)] {
        QMessageBox* box = OpenMessageBox();
        if (box != nullptr && box->isVisible()) {
            raw->stop();
            act(box);
        }
    });
    poll->start();
    return poll;
}

TEST_F(MessageBoxesTest, HeadlessBoxesAreRecordedWithTheirDefaultAnswers) {
    EXPECT_EQ(boxes().Show(114, 3, MessageIcon::Error), MessageAnswer::Ok);
    EXPECT_EQ(boxes().Show(2, 3, MessageIcon::Warning, MessageButtons::OkCancel),
              MessageAnswer::Ok);
    EXPECT_EQ(boxes().Show(4, 5, MessageIcon::Question, MessageButtons::YesNo), MessageAnswer::Yes);
    EXPECT_EQ(boxes().Show(6, 7, MessageIcon::Information, MessageButtons::YesNoCancel),
              MessageAnswer::Yes);

    const std::vector<ShownMessage>& history = boxes().History();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[0].textId, 114);
    EXPECT_EQ(history[0].captionId, 3);
    EXPECT_EQ(history[0].text, "text 114");
    EXPECT_EQ(history[0].caption, "text 3");
    EXPECT_EQ(history[0].icon, MessageIcon::Error);
    EXPECT_EQ(history[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(history[0].answer, MessageAnswer::Ok);
    EXPECT_EQ(history[2].text, "text 4");
    EXPECT_EQ(history[2].icon, MessageIcon::Question);
    EXPECT_EQ(history[2].buttons, MessageButtons::YesNo);
    EXPECT_EQ(history[3].textId, 6);
    EXPECT_EQ(history[3].buttons, MessageButtons::YesNoCancel);

    boxes().ClearHistory();
    EXPECT_TRUE(boxes().History().empty());
}

TEST_F(MessageBoxesTest, TheDefaultButtonIndexesTheSetAndFallsBackToTheFirst) {
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::YesNo, nullptr, 1),
              MessageAnswer::No);
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::YesNoCancel, nullptr, 2),
              MessageAnswer::Cancel);
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::OkCancel, nullptr, 1),
              MessageAnswer::Cancel);
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::YesNo, nullptr, 2),
              MessageAnswer::Yes);
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::OkCancel, nullptr, -1),
              MessageAnswer::Ok);
    EXPECT_EQ(boxes().Show(1, 1, MessageIcon::None, MessageButtons::Ok, nullptr, 1 << 30),
              MessageAnswer::Ok);
    EXPECT_EQ(boxes().History().back().answer, MessageAnswer::Ok);
}

TEST_F(MessageBoxesTest, CaptionZeroIsTheApplicationsDisplayName) {
    const QString before = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Station Under Test"));
    boxes().Show(9);
    QGuiApplication::setApplicationDisplayName(before);
    ASSERT_EQ(boxes().History().size(), 1u);
    EXPECT_EQ(boxes().History()[0].caption, "Station Under Test");
    EXPECT_EQ(boxes().History()[0].text, "text 9");
}

TEST_F(MessageBoxesTest, AnEmptyLookupGivesEmptyTexts) {
    boxes().Configure(MessageBoxes::Mode::Headless, nullptr);
    EXPECT_EQ(boxes().Show(5, 6), MessageAnswer::Ok);
    ASSERT_EQ(boxes().History().size(), 1u);
    EXPECT_TRUE(boxes().History()[0].text.isEmpty());
    EXPECT_TRUE(boxes().History()[0].caption.isEmpty());
}

TEST_F(MessageBoxesTest, QueuedAnswersAreUsedInOrderAndImpossibleOnesFallBack) {
    boxes().QueueAnswer(MessageAnswer::No);
    boxes().QueueAnswer(MessageAnswer::Yes);     // impossible for an Ok box
    boxes().QueueAnswer(MessageAnswer::Cancel);  // impossible for a Yes/No box
    boxes().QueueAnswer(MessageAnswer::Cancel);
    EXPECT_EQ(boxes().Show(1, 0, MessageIcon::None, MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(boxes().Show(2, 0, MessageIcon::None, MessageButtons::Ok), MessageAnswer::Ok);
    EXPECT_EQ(boxes().Show(3, 0, MessageIcon::None, MessageButtons::YesNo, nullptr, 1),
              MessageAnswer::No);
    EXPECT_EQ(boxes().Show(4, 0, MessageIcon::None, MessageButtons::OkCancel),
              MessageAnswer::Cancel);
    EXPECT_EQ(boxes().Show(5, 0, MessageIcon::None, MessageButtons::OkCancel), MessageAnswer::Ok);

    boxes().QueueAnswer(MessageAnswer::Cancel);
    boxes().Configure(MessageBoxes::Mode::Headless, LookUp);
    EXPECT_EQ(boxes().Show(6, 0, MessageIcon::None, MessageButtons::OkCancel), MessageAnswer::Ok);

    std::vector<int> order;
    for (const ShownMessage& shown : boxes().History()) {
        order.push_back(shown.textId);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(MessageBoxesTest, TheListenerIsToldOncePerBoxWithItsAnswer) {
    std::vector<ShownMessage> told;
    boxes().SetListener([&](const ShownMessage& shown) { told.push_back(shown); });
    boxes().QueueAnswer(MessageAnswer::No);
    boxes().Show(10, 11, MessageIcon::Question, MessageButtons::YesNoCancel);
    boxes().Show(12);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].textId, 10);
    EXPECT_EQ(told[0].captionId, 11);
    EXPECT_EQ(told[0].answer, MessageAnswer::No);
    EXPECT_EQ(told[1].textId, 12);
    EXPECT_EQ(told[1].answer, MessageAnswer::Ok);

    // A listener may open a box of its own and replace itself meanwhile.
    int calls = 0;
    boxes().SetListener([&](const ShownMessage& shown) {
        ++calls;
        boxes().SetListener(nullptr);
        boxes().Show(shown.textId + 1);
        EXPECT_EQ(shown.textId, 20);
    });
    boxes().Show(20);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(boxes().History().size(), 4u);
    EXPECT_EQ(boxes().History()[3].textId, 21);
}

TEST_F(MessageBoxesTest, AnswerNames) {
    EXPECT_EQ(MessageBoxes::AnswerName(MessageAnswer::Ok), "ok");
    EXPECT_EQ(MessageBoxes::AnswerName(MessageAnswer::Yes), "yes");
    EXPECT_EQ(MessageBoxes::AnswerName(MessageAnswer::No), "no");
    EXPECT_EQ(MessageBoxes::AnswerName(MessageAnswer::Cancel), "cancel");
}

TEST_F(MessageBoxesTest, ABoxAskedForOffTheUiThreadIsAnsweredWithItsDefaultAndNotShown) {
    Reset(MessageBoxes::Mode::Interactive);
    MessageAnswer answer = MessageAnswer::Cancel;
    std::thread worker(
        [&] { answer = boxes().Show(1, 2, MessageIcon::None, MessageButtons::YesNo, nullptr, 1); });
    worker.join();
    EXPECT_EQ(answer, MessageAnswer::No);
    EXPECT_TRUE(boxes().History().empty());
}

TEST_F(MessageBoxesTest, InteractiveBoxShowsItsTextsAndReturnsTheClickedButton) {
    Reset(MessageBoxes::Mode::Interactive);
    std::vector<ShownMessage> told;
    boxes().SetListener([&](const ShownMessage& shown) { told.push_back(shown); });
    boxes().QueueAnswer(MessageAnswer::Yes);  // headless only; must not answer this box

    QString text;
    QString title;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool yesIsDefault = false;
    bool noIsEscape = false;
    const auto poll = WhenBoxOpens([&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        buttons = box->standardButtons();
        icon = box->icon();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        noIsEscape = box->escapeButton() == box->button(QMessageBox::No);
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });

    EXPECT_EQ(boxes().Show(228, 17, MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(text, "text 228");
    EXPECT_EQ(title, "text 17");
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(yesIsDefault);
    EXPECT_TRUE(noIsEscape);
    ASSERT_EQ(boxes().History().size(), 1u);
    EXPECT_EQ(boxes().History()[0].answer, MessageAnswer::No);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].answer, MessageAnswer::No);
}

TEST_F(MessageBoxesTest, InteractiveKeysTakeTheDefaultAndEscapeButtons) {
    Reset(MessageBoxes::Mode::Interactive);
    {
        const auto poll =
            WhenBoxOpens([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
        EXPECT_EQ(boxes().Show(1, 2, MessageIcon::Warning, MessageButtons::YesNoCancel, nullptr, 1),
                  MessageAnswer::No);
    }
    {
        const auto poll =
            WhenBoxOpens([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(boxes().Show(3, 4, MessageIcon::Warning, MessageButtons::OkCancel),
                  MessageAnswer::Cancel);
    }
    {
        const auto poll =
            WhenBoxOpens([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(boxes().Show(5, 6, MessageIcon::Error, MessageButtons::Ok), MessageAnswer::Ok);
    }
    ASSERT_EQ(boxes().History().size(), 3u);
    EXPECT_EQ(boxes().History()[1].answer, MessageAnswer::Cancel);
}

TEST_F(MessageBoxesTest, AParentDestroyedWhileTheBoxWaitsEndsItAsDismissed) {
    Reset(MessageBoxes::Mode::Interactive);
    QPointer<QWidget> parent = new QWidget;
    parent->show();
    const auto poll = WhenBoxOpens([&](QMessageBox*) { delete parent; });
    EXPECT_EQ(boxes().Show(1, 2, MessageIcon::Question, MessageButtons::YesNo, parent),
              MessageAnswer::No);
    EXPECT_TRUE(parent.isNull());
    ASSERT_EQ(boxes().History().size(), 1u);
    EXPECT_EQ(boxes().History()[0].answer, MessageAnswer::No);
}

}  // namespace
}  // namespace ovistra::platform
