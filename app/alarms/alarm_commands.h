// The user's programs run at an alarm's start ("AlarmCommand") and end ("AlarmEndCommand"):
// started and watched without a shell and without ever waiting on the UI thread, at most one
// per camera, killed when they outlast their time. Each one's end is an event line. The
// processes are started and watched on a thread of their own: a start forks and waits for the
// exec, which is milliseconds the UI thread does not have.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <array>
#include <cstddef>
#include <memory>

#include "alarm_facts.h"

namespace ovistra::alarms {

// A command line split as a command line is (quotes, backslashes), each placeholder replaced
// inside its argument: %c camera number, %n camera name, %t time (ISO 8601), %s the still,
// %r the recording, %% a percent sign; any other percent sign stays as it is. Empty, with a
// one-line reason in *error, when the line names no program.
QStringList ExpandAlarmCommand(const QString& commandLine, const AlarmFacts& facts, QString* error);

class AlarmCommands : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeLimitMs = 60000;

    // `timeLimitMs` is how long a command may run before it is killed.
    explicit AlarmCommands(QObject* parent = nullptr, int timeLimitMs = kTimeLimitMs);
    ~AlarmCommands() override;  // kills what still runs

    // UI thread. Starts the command for the alarm's camera unless one of that camera's runs;
    // `which` names it in event lines ("start" or "end"). An empty line does nothing.
    void Run(const QString& commandLine, const AlarmFacts& facts, const QString& which);

    // Commands running now, all cameras together.
    int running() const;

private:
    class Runner;  // the command thread's side
    void Ended(size_t slot);

    // --- UI thread
    std::array<bool, 4> busy_{};  // a command of that camera was started and has not ended
    // --- the runner lives on thread_ and is reached only by queued calls
    std::unique_ptr<QThread> thread_;
    Runner* runner_ = nullptr;
};

}  // namespace ovistra::alarms
