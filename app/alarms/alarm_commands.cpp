#include "alarm_commands.h"

#include "event_log.h"

#include <QByteArray>
#include <QProcess>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <algorithm>

namespace ovistra::alarms {

namespace {

// Enough for a script's complaint; the rest of a chatty program's output is read and dropped.
constexpr qsizetype kKeptOutputBytes = 4096;
constexpr int kOutputLineChars = 200;

QString IsoTime(const QDateTime& when) {
    if (!when.isValid()) return {};
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
            case 'c': out += QString::number(facts.camera); break;
            case 'n': out += facts.cameraName; break;
            case 't': out += IsoTime(facts.when); break;
            case 's': out += facts.still; break;
            case 'r': out += facts.recording; break;
            case '%': out += u'%'; break;
            default: out += ch; continue;  // not ours: the percent sign stays, the next is read
        }
        ++i;
    }
    return out;
}

QString FirstLine(const QByteArray& output) {
    qsizetype end = output.indexOf('\n');
    if (end < 0) end = output.size();
    QString line = QString::fromUtf8(output.constData(), end);
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.size() > kOutputLineChars) line = line.left(kOutputLineChars) + QStringLiteral("...");
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
        for (QString& word : words) word = ExpandArgument(word, facts);
        if (words.first().isEmpty()) reason = QStringLiteral("the program's name expands to nothing");
    }
    if (!reason.isEmpty()) {
        if (error) *error = reason;
        return {};
    }
    return words;
}

class AlarmCommands::Run_ {
public:
    QProcess* process = nullptr;  // deleted later: its own signals may still be on the stack
    QTimer* limit = nullptr;      // child of the process
    QByteArray output;            // the first kKeptOutputBytes only
    QString which;
    bool killed = false;

    void Drain() {
        char scratch[16384];
        while (process->bytesAvailable() > 0) {
            const qint64 n = process->read(scratch, sizeof scratch);
            if (n <= 0) break;
            const qsizetype room = kKeptOutputBytes - output.size();
            if (room > 0) output.append(scratch, std::min<qsizetype>(room, n));
        }
    }

    // Kills the command with everything it started (it leads a process group of its own).
    void Kill() {
        killed = true;
        const qint64 pid = process->processId();
        if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process->kill();
    }
};

AlarmCommands::AlarmCommands(QObject* parent, int timeLimitMs)
    : QObject(parent), timeLimitMs_(timeLimitMs) {}

AlarmCommands::~AlarmCommands() {
    for (size_t i = 0; i < runs_.size(); ++i) {
        std::unique_ptr<Run_> run = std::move(runs_[i]);
        if (!run) continue;
        run->process->disconnect(this);
        run->limit->stop();
        if (run->process->state() != QProcess::NotRunning) {
            run->Kill();
            // SIGKILL ends it at once; waiting reaps it so no zombie outlives the station.
            run->process->waitForFinished(2000);
            run->Drain();
            EventLog::Instance().Print(
                "alarm-command", {{"camera", QString::number(i + 1)},
                                  {"which", run->which},
                                  {"exit", "killed"},
                                  {"output", FirstLine(run->output)}});
        }
        delete run->process;
    }
}

void AlarmCommands::Run(const QString& commandLine, const AlarmFacts& facts,
                        const QString& which) {
    if (commandLine.trimmed().isEmpty()) return;
    const QString camera = QString::number(facts.camera);
    auto fail = [&](const QString& reason) {
        EventLog::Instance().Print("alarm-command-failed",
                                   {{"camera", camera}, {"which", which}, {"reason", reason}});
    };
    if (facts.camera < 1 || facts.camera > static_cast<int>(runs_.size())) {
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
    if (runs_[slot]) {
        EventLog::Instance().Print("alarm-command-skipped", {{"camera", camera}, {"which", which}});
        return;
    }

    auto run = std::make_unique<Run_>();
    run->which = which;
    run->process = new QProcess;
    run->process->setProgram(words.takeFirst());
    run->process->setArguments(words);
    run->process->setProcessChannelMode(QProcess::MergedChannels);
    run->process->setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so a time-out also ends what a script started.
    run->process->setChildProcessModifier([] { ::setpgid(0, 0); });
    run->limit = new QTimer(run->process);
    run->limit->setSingleShot(true);
    run->limit->setInterval(timeLimitMs_);

    Run_* self = run.get();
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
                EventLog::Instance().Print("alarm-command",
                                           {{"camera", QString::number(slot + 1)},
                                            {"which", self->which},
                                            {"exit", exit},
                                            {"output", FirstLine(self->output)}});
                Retire(slot);
            });
    connect(run->process, &QProcess::errorOccurred, this,
            [this, slot, self](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart) return;  // the others end in finished
                EventLog::Instance().Print("alarm-command-failed",
                                           {{"camera", QString::number(slot + 1)},
                                            {"which", self->which},
                                            {"reason", self->process->errorString()}});
                Retire(slot);
            });

    runs_[slot] = std::move(run);
    self->process->start(QIODevice::ReadOnly);
    // A failed start may already have retired the run.
    if (runs_[slot].get() == self) self->limit->start();
}

void AlarmCommands::Retire(size_t slot) {
    std::unique_ptr<Run_> run = std::move(runs_[slot]);
    if (!run) return;
    run->limit->stop();
    run->process->disconnect(this);
    run->process->deleteLater();
}

int AlarmCommands::running() const {
    return static_cast<int>(std::count_if(runs_.begin(), runs_.end(),
                                          [](const auto& run) { return run != nullptr; }));
}

}  // namespace ovistra::alarms
