// What an alarm command costs the UI thread: the Run call alone (the split, the placeholders and
// the process start), the command's run and end left to the event loop outside the timing. The
// start forks, and a fork copies the page tables, so it is also taken from a process holding
// as much memory as a running station.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstring>
#include <ctime>
#include <vector>

#include "alarm_commands.h"

namespace {

using ovistra::alarms::AlarmCommands;
using ovistra::alarms::AlarmFacts;

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

AlarmFacts BackDoor() {
    AlarmFacts facts;
    facts.camera = 2;
    facts.cameraName = "Back door";
    facts.when = QDateTime::currentDateTime();
    facts.still = "/tmp/stills/cam 2.jpg";
    return facts;
}

void RunAlarmCommand(benchmark::State& state) {
    // Resident memory the process holds while it starts the commands, in MiB; touched once,
    // not at each of the library's calls of this function.
    static std::vector<char> ballast;
    const size_t ballastBytes = static_cast<size_t>(state.range(0)) << 20;
    if (ballast.size() != ballastBytes) {
        ballast.assign(ballastBytes, 1);
        ballast.shrink_to_fit();
    }

    const AlarmFacts facts = BackDoor();
    AlarmCommands commands;
    const QString line = QStringLiteral("true %c \"%n\" %t %s %r");
    double cpuSeconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        const double cpuBefore = ThreadCpuSeconds();
        clock.start();
        commands.Run(line, facts, QStringLiteral("start"));
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        cpuSeconds += ThreadCpuSeconds() - cpuBefore;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (commands.running() == 0)
                loop.quit();
        });
        poll.start(1);
        loop.exec();
    }
    benchmark::DoNotOptimize(ballast.data());
    // The wall time above also holds what a busy machine takes away; this is our own share.
    state.counters["uiThreadCpuUs"] =
        benchmark::Counter(cpuSeconds * 1e6 / static_cast<double>(state.iterations()));
}

// The split and the placeholders alone, the part of Run that grows with the line.
void ExpandAlarmCommandLine(benchmark::State& state) {
    const AlarmFacts facts = BackDoor();
    const QString line = QStringLiteral("/usr/local/bin/alarm-mail --camera %c \"%n\" %t %s %r");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ovistra::alarms::ExpandAlarmCommand(line, facts, nullptr));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("RunAlarmCommand/residentMiB", RunAlarmCommand)
        ->Arg(0)
        ->Arg(300)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ExpandAlarmCommand", ExpandAlarmCommandLine);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
