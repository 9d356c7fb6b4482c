// The station as a user or a script starts it: a real process in its own fresh folders.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A fresh home with its own data, config and runtime folders for each station started.
class StationProcess : public ::testing::Test {
protected:
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        return env;
    }
    void SetUp() override {
        QDir(home.path()).mkpath("run");
        QFile::setPermissions(home.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void Start(QProcess& process, const QStringList& arguments,
               const QString& program = OVISTRA_PROGRAM) const {
        process.setProcessEnvironment(Environment());
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }
    // Runs to the end and returns the exit code; -1 when it crashed or hung.
    int Finish(QProcess& process, int timeoutMs = 60000) const {
        if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            return -1;
        }
        return process.exitCode();
    }
    bool WaitForLine(QProcess& process, const QByteArray& word, int timeoutMs = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            output += process.readAllStandardOutput();
            if (output.contains(" " + word)) {
                return true;
            }
            process.waitForReadyRead(100);
        }
        return false;
    }
    // The event words of the lines printed, in order.
    static QList<QByteArray> Events(const QByteArray& out) {
        QList<QByteArray> words;
        for (const QByteArray& line : out.split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() >= 2) {
                words << parts[1];
            }
        }
        return words;
    }

    QTemporaryDir home;
    QByteArray output;
};

TEST_F(StationProcess, HeadlessRunForADurationEndsInOrder) {
    QProcess station;
    Start(station, {"--headless", "--duration", "2"});
    EXPECT_EQ(Finish(station), 0) << station.readAllStandardError().toStdString();
    const QByteArray out = station.readAllStandardOutput();
    const QList<QByteArray> events = Events(out);
    ASSERT_EQ(events.size(), 3) << out.toStdString();
    EXPECT_EQ(events[0], "started");
    EXPECT_EQ(events[1], "statistics");
    EXPECT_EQ(events[2], "stopped");
    EXPECT_TRUE(out.contains("started version=")) << out.toStdString();
    EXPECT_TRUE(out.contains("statistics frames=0,0,0,0 switches=0")) << out.toStdString();
}

TEST_F(StationProcess, TerminationSignalTakesTheOrderlyPath) {
    QProcess station;
    Start(station, {"--headless"});
    ASSERT_TRUE(WaitForLine(station, "started"));
    ::kill(static_cast<pid_t>(station.processId()), SIGTERM);
    EXPECT_EQ(Finish(station), 0);
    output += station.readAllStandardOutput();
    EXPECT_EQ(Events(output), (QList<QByteArray>{"started", "statistics", "stopped"}));
}

TEST_F(StationProcess, SecondInstanceIsTurnedAwayWhileTheFirstRuns) {
    QProcess first;
    Start(first, {"--headless"});
    ASSERT_TRUE(WaitForLine(first, "started"));
    QProcess second;
    Start(second, {"--headless"});
    EXPECT_EQ(Finish(second), 1);
    const QByteArray said = second.readAllStandardOutput();
    EXPECT_TRUE(said.contains("message-box text=228 caption=0 answer=ok")) << said.toStdString();
    EXPECT_FALSE(said.contains("started"));
    EXPECT_EQ(first.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first.processId()), SIGINT);
    EXPECT_EQ(Finish(first), 0);
}

TEST_F(StationProcess, FirstRunSetsUpOnceAndASecondRunChangesNothing) {
    QProcess run;
    Start(run, {"--headless", "--duration", "0.5"});
    ASSERT_EQ(Finish(run), 0);
    const QString program = home.filePath("data/Halvorn/Brisquel/");
    const QString keyFile = home.filePath("config/Halvorn/Brisquel.reg");
    QFile key(keyFile);
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    const QByteArray keyBytes = key.readAll();
    key.close();
    EXPECT_TRUE(keyBytes.contains("\"AppPath\"=\"" + program.toUtf8() + "\"")) << keyBytes.data();
    EXPECT_TRUE(QFileInfo(program + "customSetting").isDir());
    ASSERT_TRUE(QFileInfo(program + "Alarm.wav").isFile());
    const QDateTime keyTime = QFileInfo(keyFile).lastModified();
    const QDateTime alarmTime = QFileInfo(program + "Alarm.wav").lastModified();

    QProcess again;
    Start(again, {"--headless", "--duration", "0.5"});
    ASSERT_EQ(Finish(again), 0);
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    EXPECT_EQ(key.readAll(), keyBytes);
    EXPECT_EQ(QFileInfo(keyFile).lastModified(), keyTime);
    EXPECT_EQ(QFileInfo(program + "Alarm.wav").lastModified(), alarmTime);
}

TEST_F(StationProcess, MissingOrForeignResourceLibraryEndsWithoutAWindow) {
    QTemporaryDir alone;
    const QString copy = alone.filePath("ovistra");
    ASSERT_TRUE(QFile::copy(OVISTRA_PROGRAM, copy));
    QProcess missing;
    Start(missing, {"--headless"}, copy);
    EXPECT_EQ(Finish(missing), 3);
    EXPECT_EQ(missing.readAllStandardError().count('\n'), 1);
    EXPECT_FALSE(missing.readAllStandardOutput().contains("started"));

    ASSERT_TRUE(QFile::copy(VIGIMOT_LIBRARY, alone.filePath("libuipack.so")));
    QProcess foreign;
    Start(foreign, {"--headless"}, copy);
    EXPECT_EQ(Finish(foreign), 3);
    EXPECT_EQ(foreign.readAllStandardError().count('\n'), 1);
}

TEST_F(StationProcess, MissingMediaElementsAreReportedAndEndTheStart) {
    QTemporaryDir noPlugins;
    QProcess station;
    QProcessEnvironment env = Environment();
    env.insert("GST_PLUGIN_SYSTEM_PATH_1_0", noPlugins.path());
    env.insert("GST_PLUGIN_PATH_1_0", noPlugins.path());
    env.insert("GST_REGISTRY_1_0", noPlugins.filePath("registry.bin"));
    station.setProcessEnvironment(env);
    station.start(OVISTRA_PROGRAM, {"--headless"});
    ASSERT_TRUE(station.waitForStarted());
    EXPECT_EQ(Finish(station), 3);
    const QByteArray out = station.readAllStandardOutput();
    EXPECT_TRUE(out.contains("message-box text=114 caption=119")) << out.toStdString();
    EXPECT_FALSE(out.contains(" started"));
    EXPECT_TRUE(out.contains(" stopped"));
}

TEST_F(StationProcess, UsageErrorsAndInformationOptions) {
    for (const QStringList& wrong :
         {QStringList{"--bogus"}, QStringList{"--set", "NoSuchSetting=1"},
          QStringList{"--set", "EachTime=soon"}, QStringList{"--duration"}}) {
        QProcess station;
        Start(station, wrong);
        EXPECT_EQ(Finish(station), 2) << wrong.join(' ').toStdString();
        EXPECT_FALSE(station.readAllStandardError().isEmpty());
    }
    QProcess help;
    Start(help, {"--help"});
    EXPECT_EQ(Finish(help), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--headless"));
    QProcess version;
    Start(version, {"--version"});
    EXPECT_EQ(Finish(version), 0);
    EXPECT_TRUE(version.readAllStandardOutput().startsWith("ovistra "));
}

TEST_F(StationProcess, RunOnlySettingsNeverReachTheKeyFile) {
    QProcess first;
    Start(first, {"--headless", "--duration", "0.3"});
    ASSERT_EQ(Finish(first), 0);
    QFile key(home.filePath("config/Halvorn/Brisquel.reg"));
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    const QByteArray before = key.readAll();
    key.close();
    QProcess overridden;
    Start(overridden, {"--headless", "--duration", "0.3", "--set",
                       "RecordPath=" + home.filePath("elsewhere"), "--set", "EachTime=0x7d0"});
    ASSERT_EQ(Finish(overridden), 0);
    // The run used the override: its camera folders were made there.
    EXPECT_TRUE(QFileInfo(home.filePath("elsewhere/Camera1")).isDir());
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    EXPECT_EQ(key.readAll(), before);
}

}  // namespace
