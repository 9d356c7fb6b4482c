#include "alarm_commands.h"

#include "event_log.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <mutex>
#include <vector>

namespace {

using ovistra::EventLog;
using ovistra::alarms::AlarmCommands;
using ovistra::alarms::AlarmFacts;
using ovistra::alarms::ExpandAlarmCommand;

AlarmFacts BackDoor(int camera = 2) {
    AlarmFacts facts;
    facts.camera = camera;
    facts.cameraName = "Back door";
    facts.when = QDateTime(QDate(2026, 12, 9), QTime(18, 30, 5), QTimeZone(3600));
    facts.still = "/data/stills/cam 2 alarm.jpg";
    return facts;
}

TEST(AlarmCommandLine, SplitsLikeACommandLineThenFillsEachArgument) {
    struct Row {
        const char* line;
        QStringList words;
    };
    const Row rows[] = {
        {"notify %c %n", {"notify", "2", "Back door"}},
        {R"("/opt/my tools/run" "%n: alarm")", {"/opt/my tools/run", "Back door: alarm"}},
        {"run x%c %cy %c%c", {"run", "x2", "2y", "22"}},
        {"run %t", {"run", "2026-12-09T18:30:05+01:00"}},
        {"run --still=%s", {"run", "--still=/data/stills/cam 2 alarm.jpg"}},
        {"run %r --end", {"run", "", "--end"}},
        {"run %x 50% 100%% %%c %", {"run", "%x", "50%", "100%", "%c", "%"}},
        {R"(run a\b "c d"e)", {"run", R"(a\b)", "c de"}},
    };
    for (const Row& row : rows) {
        QString error;
        EXPECT_EQ(ExpandAlarmCommand(row.line, BackDoor(), &error), row.words) << row.line;
        EXPECT_TRUE(error.isEmpty()) << row.line;
    }
}

TEST(AlarmCommandLine, NoProgramIsAnErrorWithAReason) {
    for (const char* line : {"", "   ", R"("")", "%r --end"}) {
        QString error;
        EXPECT_TRUE(ExpandAlarmCommand(line, BackDoor(), &error).isEmpty()) << line;
        EXPECT_FALSE(error.isEmpty()) << line;
    }
}

// Runs the event loop as the station does (QTest::qWaitFor sleeps between passes, which would
// starve a chatty command's pipe) until `done` holds or `ms` have passed.
template <typename Done>
bool Until(Done done, int ms) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(2);
    loop.exec();
    return done();
}

// Collects the event lines of the alarm commands, without their time stamps.
class AlarmCommandRuns : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        EventLog::Instance().Enable([this](const QByteArray& line) {
            std::lock_guard<std::mutex> hold(lock_);
            lines_.push_back(line.mid(20).trimmed());  // "YYYY-mm-ddTHH:MM:SS "
        });
    }
    void TearDown() override { EventLog::Instance().Disable(); }

    QString Script(const QString& name, const QByteArray& body) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        return path;
    }

    std::vector<QByteArray> Lines() {
        std::lock_guard<std::mutex> hold(lock_);
        return lines_;
    }
    // The first event line starting with `start`, waiting for it up to `ms`.
    QByteArray WaitFor(const QByteArray& start, int ms = 15000) {
        QByteArray found;
        (void)Until(
            [&] {
                for (const QByteArray& line : Lines()) {
                    if (line.startsWith(start))
                        found = line;
                }
                return !found.isEmpty();
            },
            ms);
        return found;
    }

    QTemporaryDir dir_;
    std::mutex lock_;
    std::vector<QByteArray> lines_;
};

// Resident memory, for a bound on what a flood may cost; the address sanitizer keeps freed
// blocks in quarantine, so there the figure says nothing and is not taken.
long ResidentKiB() {
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#endif
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

bool ProcessGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    return stat.readAll().contains(") Z ");  // a zombie whose reaper has not come yet
}

TEST_F(AlarmCommandRuns, ArgumentsReachTheProgramExactlyAndEachEndIsReported) {
    const QString args = dir_.filePath("args.txt");
    const QString echo =
        Script("echo args.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                   args.toUtf8() + "'\necho 'first line'\necho second >&2\nexit 3");
    const QString crash = Script("crash.sh", "echo dying\nkill -SEGV $$");
    // Half a hundred megabytes of output: drained as it comes, so `head` never stalls.
    const QString flood = Script("flood.sh", "yes | head -c 50000000");

    AlarmCommands commands(nullptr, 20000);
    const long residentBefore = ResidentKiB();
    commands.Run("\"" + echo + "\" %c \"%n\" x%%y %r %t", BackDoor(2), "start");
    commands.Run("\"" + echo + "\" %c \"%n\" x%%y %r %t", BackDoor(2), "start");  // still busy
    commands.Run(crash, BackDoor(3), "end");
    commands.Run(flood, BackDoor(4), "start");
    commands.Run("/nonexistent/alarm-program %c", BackDoor(1), "start");
    commands.Run("%r --quiet", BackDoor(1), "end");
    commands.Run("   ", BackDoor(1), "end");

    EXPECT_EQ(WaitFor("alarm-command camera=2 "),
              "alarm-command camera=2 which=start exit=3 output=\"first line\"");
    EXPECT_EQ(WaitFor("alarm-command camera=3 "),
              "alarm-command camera=3 which=end exit=crashed output=dying");
    EXPECT_EQ(WaitFor("alarm-command camera=4 "),
              "alarm-command camera=4 which=start exit=0 output=y");
    EXPECT_EQ(WaitFor("alarm-command-skipped"), "alarm-command-skipped camera=2 which=start");
    EXPECT_TRUE(WaitFor("alarm-command-failed camera=1 which=start reason=").size() > 0);
    EXPECT_TRUE(WaitFor("alarm-command-failed camera=1 which=end reason=").size() > 0);
    EXPECT_LT(ResidentKiB() - residentBefore, 16 * 1024);
    EXPECT_TRUE(Until([&] { return commands.running() == 0; }, 5000));
    EXPECT_EQ(commands.running(), 0);
    EXPECT_EQ(Lines().size(), 6u);  // the empty line ran nothing and said nothing

    QFile written(args);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "2\nBack door\nx%y\n\n2026-12-09T18:30:05+01:00\n");
}

TEST_F(AlarmCommandRuns, AHangingFloodIsKilledWithWhatItStartedAndTheCameraIsFreeAgain) {
    const QString pidFile = dir_.filePath("sleep.pid");
    const QString hang = Script("hang.sh", "sleep 30 &\necho $! > '" + pidFile.toUtf8() + "'\nyes");
    AlarmCommands commands(nullptr, 500);
    const long residentBefore = ResidentKiB();
    commands.Run(hang, BackDoor(1), "start");
    EXPECT_EQ(commands.running(), 1);

    EXPECT_EQ(WaitFor("alarm-command camera=1 "),
              "alarm-command camera=1 which=start exit=killed output=y");
    EXPECT_LT(ResidentKiB() - residentBefore, 16 * 1024);
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const qint64 sleeper = pid.readAll().trimmed().toLongLong();
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(Until([&] { return ProcessGone(sleeper); }, 5000));

    commands.Run("true", BackDoor(1), "end");
    EXPECT_EQ(WaitFor("alarm-command camera=1 which=end"),
              "alarm-command camera=1 which=end exit=0 output=\"\"");
}

TEST_F(AlarmCommandRuns, WhatStillRunsIsKilledWhenTheOwnerGoes) {
    const QString pidFile = dir_.filePath("sleep.pid");
    const QString hang = Script("hang.sh", "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 30");
    {
        AlarmCommands commands;
        commands.Run(hang, BackDoor(4), "end");
        ASSERT_TRUE(Until([&] { return QFile(pidFile).size() > 0; }, 5000));
    }
    EXPECT_EQ(WaitFor("alarm-command camera=4 ", 0),
              "alarm-command camera=4 which=end exit=killed output=\"\"");
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ProcessGone(pid.readAll().trimmed().toLongLong()));
}

}  // namespace
