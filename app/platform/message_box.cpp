#include "message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QtGlobal>
#include <span>

namespace ovistra::platform {

namespace {

std::span<const MessageAnswer> ButtonsOf(MessageButtons buttons) {
    static constexpr MessageAnswer kOk[] = {MessageAnswer::Ok};
    static constexpr MessageAnswer kOkCancel[] = {MessageAnswer::Ok, MessageAnswer::Cancel};
    static constexpr MessageAnswer kYesNo[] = {MessageAnswer::Yes, MessageAnswer::No};
    static constexpr MessageAnswer kYesNoCancel[] = {MessageAnswer::Yes, MessageAnswer::No,
                                                     MessageAnswer::Cancel};
    switch (buttons) {
        case MessageButtons::OkCancel:
            return kOkCancel;
        case MessageButtons::YesNo:
            return kYesNo;
        case MessageButtons::YesNoCancel:
            return kYesNoCancel;
        case MessageButtons::Ok:
            break;
    }
    return kOk;
}

bool Offers(MessageButtons buttons, MessageAnswer answer) {
    for (const MessageAnswer offered : ButtonsOf(buttons)) {
        if (offered == answer) {
            return true;
        }
    }
    return false;
}

// What closing the box without choosing means.
MessageAnswer EscapeAnswer(MessageButtons buttons) {
    if (Offers(buttons, MessageAnswer::Cancel)) {
        return MessageAnswer::Cancel;
    }
    if (Offers(buttons, MessageAnswer::No)) {
        return MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ToQtButton(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
        case MessageAnswer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MessageAnswer FromQtButton(QMessageBox::StandardButton button, MessageAnswer otherwise) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return otherwise;
    }
}

bool OnUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

}  // namespace

MessageBoxes& MessageBoxes::Instance() {
    static MessageBoxes instance;
    return instance;
}

MessageBoxes::MessageBoxes() : lookup_([](int) { return QString(); }) {}

void MessageBoxes::Configure(Mode mode, TextLookup lookup) {
    mode_ = mode;
    lookup_ = lookup ? std::move(lookup) : TextLookup([](int) { return QString(); });
    queuedAnswers_.clear();
}

void MessageBoxes::SetListener(Listener listener) {
    listener_ = std::move(listener);
}

void MessageBoxes::QueueAnswer(MessageAnswer answer) {
    queuedAnswers_.push_back(answer);
}

MessageAnswer MessageBoxes::Show(int textId, int captionId, MessageIcon icon,
                                 MessageButtons buttons, QWidget* parent, int defaultButton,
                                 std::vector<int> buttonTextIds) {
    const std::span<const MessageAnswer> choices = ButtonsOf(buttons);
    const bool defaultInRange = defaultButton >= 0 && size_t(defaultButton) < choices.size();
    const MessageAnswer defaultAnswer = choices[defaultInRange ? size_t(defaultButton) : 0];
    if (!OnUiThread()) {
        qWarning("message box %d asked for off the UI thread; answered with its default", textId);
        return defaultAnswer;
    }

    ShownMessage message{
        textId,
        captionId,
        lookup_(textId),
        captionId == 0 ? QGuiApplication::applicationDisplayName() : lookup_(captionId),
        icon,
        buttons,
        defaultAnswer};
    const bool canShow = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (mode_ == Mode::Interactive && canShow && noWait_ > 0 && buttons == MessageButtons::Ok) {
        ShowWithoutWaiting(message, parent);
    } else if (mode_ == Mode::Interactive && canShow) {
        message.answer = AskUser(message, parent, defaultAnswer, buttonTextIds);
    } else if (!queuedAnswers_.empty()) {
        const MessageAnswer queued = queuedAnswers_.front();
        queuedAnswers_.pop_front();
        if (Offers(buttons, queued)) {
            message.answer = queued;
        }
    }

    history_.push_back(message);
    // A copy, so a listener may replace itself or open another box.
    if (const Listener listener = listener_) {
        listener(message);
    }
    return message.answer;
}

MessageAnswer MessageBoxes::AskUser(const ShownMessage& message, QWidget* parent,
                                    MessageAnswer defaultAnswer,
                                    const std::vector<int>& buttonTextIds) const {
    const MessageAnswer escapeAnswer = EscapeAnswer(message.buttons);
    // Watched: a parent destroyed while the box waits takes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setIcon(ToQtIcon(message.icon));
    box->setWindowTitle(message.caption);
    box->setText(message.text);
    const std::span<const MessageAnswer> choices = ButtonsOf(message.buttons);
    for (size_t i = 0; i < choices.size(); ++i) {
        QPushButton* button = box->addButton(ToQtButton(choices[i]));
        if (i < buttonTextIds.size()) {
            button->setText(lookup_(buttonTextIds[i]));
            button->setIcon(QIcon());  // the usual button's icon would belie the new words
        }
    }
    box->setDefaultButton(ToQtButton(defaultAnswer));
    box->setEscapeButton(ToQtButton(escapeAnswer));
    box->exec();
    if (box.isNull()) {
        return escapeAnswer;
    }
    MessageAnswer answer = escapeAnswer;
    if (QAbstractButton* clicked = box->clickedButton()) {
        answer = FromQtButton(box->standardButton(clicked), escapeAnswer);
    }
    delete box;
    return answer;
}

void MessageBoxes::ShowWithoutWaiting(const ShownMessage& message, QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setIcon(ToQtIcon(message.icon));
    box->setWindowTitle(message.caption);
    box->setText(message.text);
    box->addButton(QMessageBox::Ok);
    box->show();
}

QString MessageBoxes::AnswerName(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Cancel:
            return QStringLiteral("cancel");
        case MessageAnswer::Yes:
            return QStringLiteral("yes");
        case MessageAnswer::No:
            return QStringLiteral("no");
        case MessageAnswer::Ok:
            break;
    }
    return QStringLiteral("ok");
}

}  // namespace ovistra::platform
