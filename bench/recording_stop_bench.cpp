// What stopping one of four recording cameras costs the UI thread, whose frame timers push the
// other cameras' pictures: the end of the file, its sync and the list's rewrite (2,000 entries),
// with the syncs on the durable writer's thread and, for comparison, done in place. Each stopped
// file holds a second of raw pictures (23 MB), so its sync has real work on the record disk.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <QCoreApplication>
#include <QDir>
#include <map>
#include <vector>

#include "bench_frames.h"
#include "durable_writer.h"
#include "recording_control.h"
#include "recording_list.h"

namespace {

using ovistra::RecordingControl;

class BenchHost : public ovistra::RecordingHost {
public:
    QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(12, 0));

    QDateTime LocalNow() const override { return now; }
    std::optional<DiskSpace> FreeSpace(const QString& folder) const override {
        return DiskSpace{uint64_t{1} << 40, folder};
    }
    bool CanRecord(int) const override { return true; }
    void StartTimer(uintptr_t, uint32_t) override {}
    void StopTimer(uintptr_t) override {}
    void ShowMessage(int, int) override {}
    QString Text(int id) const override { return QString::number(id); }
    void ShowDiskLabel(const QString&) override {}
    void ShowRecordingIndicator(bool) override {}
    void RecordingsChanged() override {}
    void RecordingStarted(int, ovistra::RecordReason, const QString&) override {}
    void RecordingStopped(int, const QString&, qint64) override {}
    void RecordingFailed(int, int) override {}
    void DiskLow(const QString&, uint64_t) override {}
    void CircularReused(int, const QString&) override {}
    void RecordingWithoutSound(int) override {}
};

void BM_StopOneOfFourCameras(benchmark::State& state) {
    const bool onWriterThread = state.range(0) != 0;
    // Beside the build, on the disk recordings go to; never a memory file system.
    QDir folder(QDir::currentPath() + QStringLiteral("/recording_stop_bench.tmp"));
    folder.removeRecursively();
    QDir().mkpath(folder.path());
    ovistra::platform::DurableWriter writer;
    ovistra::RecordingList list(folder.path() + QLatin1Char('/'));
    list.entries().resize(2000, ovistra::RecordInfo{folder.filePath("old.avi"), "1", "k", "s",
                                                    "26/12/08", "10:00:00", "26/12/08",
                                                    "10:30:00"});
    BenchHost host;
    RecordingControl control(host, &list);
    ovistra::RecordingSetup setup;
    setup.recordFolder = folder.path() + QLatin1Char('/');
    setup.compressors = {"identity", "identity", "identity", "identity"};
    control.SetSetup(setup);
    if (onWriterThread) {
        list.WriteThrough(&writer);
        control.SetDurableWriter(&writer);
    }
    const std::vector<uint8_t> frames[] = {bench::Yuy2Frame(1), bench::Yuy2Frame(2)};
    for (int camera = 2; camera <= 4; ++camera) {
        control.ToggleRecording(camera);
    }
    int tick = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writer.Drain();
        host.now = host.now.addSecs(1);
        control.ToggleRecording(1);
        for (int i = 0; i < 25; ++i, ++tick) {
            for (int camera = 1; camera <= 4; ++camera) {
                control.PushFrame(camera, frames[tick & 1].data(), camera == 1);
            }
        }
        state.ResumeTiming();
        control.ToggleRecording(1);
    }
    control.StopAll();
    writer.Drain();
    folder.removeRecursively();
}
BENCHMARK(BM_StopOneOfFourCameras)
    ->ArgName("writer_thread")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
