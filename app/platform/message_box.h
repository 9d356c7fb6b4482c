// Message boxes whose text and caption are numbered resource texts. Every box of a run is
// recorded; in headless runs and tests a box is answered without ever being shown.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace ovistra::platform {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct ShownMessage {
    int textId;
    int captionId;
    QString text;
    QString caption;
    MessageIcon icon;
    MessageButtons buttons;
    MessageAnswer answer;
};

// Process-wide. UI thread only: Show called from any other thread shows and records nothing and
// returns the box's default answer.
class MessageBoxes {
public:
    enum class Mode { Interactive, Headless };
    using TextLookup = std::function<QString(int)>;
    using Listener = std::function<void(const ShownMessage&)>;

    static MessageBoxes& Instance();

    // Interactive shows a real modal box; Headless never shows a window. An empty lookup gives
    // empty texts. Answers still queued are dropped.
    void Configure(Mode mode, TextLookup lookup);
    // Other dialogs of the run (a print dialog) are shown only when boxes are.
    Mode mode() const { return mode_; }

    // Told of every box once it is answered.
    void SetListener(Listener listener);

    // Headless only: the next box takes this answer instead of its default, provided it is one
    // of that box's buttons. Each box uses up one queued answer.
    void QueueAnswer(MessageAnswer answer);

    // defaultButton indexes the set's buttons in the order Ok, Cancel or Yes, No, Cancel; out of
    // range means the first. Caption 0 means the application's display name. buttonTextIds,
    // in the same order, names the buttons by text number where their usual words would not
    // say what they do; the answers stay those of the set.
    MessageAnswer Show(int textId, int captionId = 0, MessageIcon icon = MessageIcon::None,
                       MessageButtons buttons = MessageButtons::Ok, QWidget* parent = nullptr,
                       int defaultButton = 0, std::vector<int> buttonTextIds = {});

    // While one is held (UI thread), a box that only informs (Ok alone) is shown without waiting:
    // it stays open on its own and is recorded, answered Ok, at once. A timer's work holds one,
    // so it never runs a loop of its own in which the same timer fires again.
    class NoWaitScope {
    public:
        NoWaitScope() { ++Instance().noWait_; }
        ~NoWaitScope() { --Instance().noWait_; }
        NoWaitScope(const NoWaitScope&) = delete;
        NoWaitScope& operator=(const NoWaitScope&) = delete;
    };

    // Every box of this run in the order they were answered (a box opened while another waits
    // is answered, and recorded, first).
    const std::vector<ShownMessage>& History() const { return history_; }
    void ClearHistory() { history_.clear(); }

    // "ok", "yes", "no", "cancel"
    static QString AnswerName(MessageAnswer answer);

private:
    MessageBoxes();

    MessageAnswer AskUser(const ShownMessage& message, QWidget* parent, MessageAnswer defaultAnswer,
                          const std::vector<int>& buttonTextIds) const;
    static void ShowWithoutWaiting(const ShownMessage& message, QWidget* parent);

    Mode mode_ = Mode::Headless;
    TextLookup lookup_;
    Listener listener_;
    std::deque<MessageAnswer> queuedAnswers_;
    std::vector<ShownMessage> history_;
    int noWait_ = 0;
};

}  // namespace ovistra::platform
