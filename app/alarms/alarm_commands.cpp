#include "alarm_commands.h"

#include "event_log.h"

#include <QByteArray>
#include <QProcess>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace ovistra::alarms {

namespace {

// Enough for a script's complaint; the rest of a chatty program's output is read and dropped.
constexpr qsizetype kKeptOutputBytes = 4096;
constexpr int kOutputLineChars = 200;

QString IsoTime(const QDateTime& when) {
    if (!when.isValid())
        return {};
    // The wall-clock time with its offset, so a script never has to guess the zone.
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
}

QString ExpandArgument(const QString& argument, const AlarmFacts& facts) {
    QString out;
    out.reserve(argument.size());
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar ch = argument.at(i);
        if (ch != u'%' || i + 1 == argument.size()) {
            out += ch;
            continue;
        }
        switch (argument.at(i + 1).unicode()) {
            case 'c':
                out += QString::number(facts.camera);
                break;
            case 'n':
                out += facts.cameraName;
                break;
            case 't':
                out += IsoTime(facts.when);
                break;
            case 's':
                out += facts.still;
                break;
            case 'r':
                out += facts.recording;
                break;
            case '%':
                out += u'%';
                break;
            default:
                out += ch;
                continue;  // not ours: the percent sign stays, the next is read
        }
        ++i;
    }
    return out;
}

QString FirstLine(const QByteArray& output) {
    qsizetype end = output.indexOf('\n');
    if (end < 0)
        end = output.size();
    QString line = QString::fromUtf8(output.constData(), end);
    if (line.endsWith(u'\r'))
        line.chop(1);
    if (line.size() > kOutputLineChars)
        line = line.left(kOutputLineChars) + QStringLiteral("...");
    return line;
}

}  // namespace

QStringList ExpandAlarmCommand(const QString& commandLine, const AlarmFacts& facts,
                               QString* error) {
    QStringList words = QProcess::splitCommand(commandLine);
    QString reason;
    if (words.isEmpty()) {
        reason = QStringLiteral("the command line names no program");
    } else {
        for (QString& word : words)
            word = ExpandArgument(word, facts);
        if (words.first().isEmpty())
            reason = QStringLiteral("the program's name expands to nothing");
    }
    if (!reason.isEmpty()) {
        if (error)
            *error = reason;
        return {};
    }
    return words;
}

namespace {

// One command's process and what it said; lives on the command thread.
struct CommandRun {
    QProcess* process = nullptr;  // deleted later: its own signals may still be on the stack
    QTimer* limit = nullptr;      // child of the process
    QByteArray output;            // the first kKeptOutputBytes only
    QString which;
    bool killed = false;

    void Drain() {
        char scratch[16384];
        while (process->bytesAvailable() > 0) {
            const qint64 n = process->read(scratch, sizeof scratch);
            if (n <= 0)
                break;
            const qsizetype room = kKeptOutputBytes - output.size();
            if (room > 0)
                output.append(scratch, std::min<qsizetype>(room, n));
        }
    }

    // Kills the command with everything it started (it leads a process group of its own).
    void Kill() {
        killed = true;
        const qint64 pid = process->processId();
        if (pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process->kill();
    }
};

void PrintEnd(size_t slot, const CommandRun& run, const QString& exit) {
    EventLog::Instance().Print("alarm-command", {{"camera", QString::number(slot + 1)},
                                                 {"which", run.which},
                                                 {"exit", exit},
                                                 {"output", FirstLine(run.output)}});
}

}  // namespace

// The command thread's side: starts, watches and kills the processes, prints their ends and
// tells the owner, by a queued call, that a camera is free again.
class AlarmCommands::Runner : public QObject {
public:
    Runner(AlarmCommands* owner, int timeLimitMs) : owner_(owner), timeLimitMs_(timeLimitMs) {}

    void Start(size_t slot, const QString& program, const QStringList& arguments,
               const QString& which) {
        auto run = std::make_unique<CommandRun>();
        run->which = which;
        run->process = new QProcess;
        run->process->setProgram(program);
        run->process->setArguments(arguments);
        run->process->setProcessChannelMode(QProcess::MergedChannels);
        run->process->setStandardInputFile(QProcess::nullDevice());
        // Its own process group, so a time-out also ends what a script started.
        run->process->setChildProcessModifier([] { ::setpgid(0, 0); });
        run->limit = new QTimer(run->process);
        run->limit->setSingleShot(true);
        run->limit->setInterval(timeLimitMs_);

        CommandRun* self = run.get();
        connect(run->limit, &QTimer::timeout, this, [self] { self->Kill(); });
        connect(run->process, &QProcess::readyReadStandardOutput, this, [self] { self->Drain(); });
        connect(run->process, &QProcess::finished, this,
                [this, slot, self](int exitCode, QProcess::ExitStatus status) {
                    self->Drain();
                    QString exit = QString::number(exitCode);
                    if (self->killed) {
                        exit = QStringLiteral("killed");
                    } else if (status == QProcess::CrashExit) {
                        exit = QStringLiteral("crashed");
                    }
                    PrintEnd(slot, *self, exit);
                    Retire(slot);
                });
        connect(run->process, &QProcess::errorOccurred, this,
                [this, slot, self](QProcess::ProcessError error) {
                    if (error != QProcess::FailedToStart)
                        return;  // the others end in finished
                    EventLog::Instance().Print("alarm-command-failed",
                                               {{"camera", QString::number(slot + 1)},
                                                {"which", self->which},
                                                {"reason", self->process->errorString()}});
                    Retire(slot);
                });

        runs_[slot] = std::move(run);
        self->process->start(QIODevice::ReadOnly);
        // A failed start may already have retired the run.
        if (runs_[slot].get() == self)
            self->limit->start();
    }

    // At the owner's end: SIGKILL ends each at once, and the wait reaps it, so no zombie and
    // no orphaned script outlives the station.
    void KillAll() {
        for (size_t slot = 0; slot < runs_.size(); ++slot) {
            std::unique_ptr<CommandRun> run = std::move(runs_[slot]);
            if (!run)
                continue;
            run->process->disconnect(this);
            run->limit->stop();
            if (run->process->state() != QProcess::NotRunning) {
                run->Kill();
                run->process->waitForFinished(2000);
                run->Drain();
                PrintEnd(slot, *run, QStringLiteral("killed"));
            }
            delete run->process;
        }
    }

private:
    void Retire(size_t slot) {
        std::unique_ptr<CommandRun> run = std::move(runs_[slot]);
        if (!run)
            return;
        run->limit->stop();
        run->process->disconnect(this);
        run->process->deleteLater();
        // Dropped unread when the owner has gone meanwhile.
        AlarmCommands* owner = owner_;
        QMetaObject::invokeMethod(
            owner, [owner, slot] { owner->Ended(slot); }, Qt::QueuedConnection);
    }

    AlarmCommands* owner_;
    int timeLimitMs_;
    std::array<std::unique_ptr<CommandRun>, 4> runs_;
};

AlarmCommands::AlarmCommands(QObject* parent, int timeLimitMs)
    : QObject(parent), thread_(std::make_unique<QThread>()) {
    runner_ = new Runner(this, timeLimitMs);
    runner_->moveToThread(thread_.get());
    connect(thread_.get(), &QThread::finished, runner_, &QObject::deleteLater);
    thread_->setObjectName(QStringLiteral("alarm commands"));
    thread_->start();
}

AlarmCommands::~AlarmCommands() {
    Runner* runner = runner_;
    QMetaObject::invokeMethod(
        runner, [runner] { runner->KillAll(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

void AlarmCommands::Run(const QString& commandLine, const AlarmFacts& facts, const QString& which) {
    if (commandLine.trimmed().isEmpty())
        return;
    const QString camera = QString::number(facts.camera);
    auto fail = [&](const QString& reason) {
        EventLog::Instance().Print("alarm-command-failed",
                                   {{"camera", camera}, {"which", which}, {"reason", reason}});
    };
    if (facts.camera < 1 || facts.camera > static_cast<int>(busy_.size())) {
        fail(QStringLiteral("no such camera"));
        return;
    }
    QString error;
    QStringList words = ExpandAlarmCommand(commandLine, facts, &error);
    if (words.isEmpty()) {
        fail(error);
        return;
    }
    const size_t slot = static_cast<size_t>(facts.camera - 1);
    if (busy_[slot]) {
        EventLog::Instance().Print("alarm-command-skipped", {{"camera", camera}, {"which", which}});
        return;
    }
    busy_[slot] = true;
    Runner* runner = runner_;
    QMetaObject::invokeMethod(
        runner,
        [runner, slot, program = words.takeFirst(), arguments = words, which] {
            runner->Start(slot, program, arguments, which);
        },
        Qt::QueuedConnection);
}

void AlarmCommands::Ended(size_t slot) {
    busy_[slot] = false;
}

int AlarmCommands::running() const {
    return static_cast<int>(std::count(busy_.begin(), busy_.end(), true));
}

}  // namespace ovistra::alarms
