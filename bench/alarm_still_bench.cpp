// What an alarm's still costs the motion tick (the UI thread): the station copies the frame into
// the camera's kept buffer, takes the still's name and hands the conversion and the write to the
// durable writer's thread; beside it, the picture converted and written in place as a clicked
// still is.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "durable_writer.h"
#include "still_picture.h"
#include "video_view.h"

namespace {

void BM_AlarmStill_HandedToWriter(benchmark::State& state) {
    QTemporaryDir folder;
    const std::vector<uint8_t> frame = bench::Yuy2Frame(7);
    ovistra::platform::DurableWriter writer;
    std::vector<uint8_t> kept(bench::kYuy2Bytes);
    QDateTime moment = QDateTime::currentDateTime();
    for (auto _ : state) {
        std::memcpy(kept.data(), frame.data(), kept.size());
        const QString path = ovistra::ReserveStill(folder.path(), moment);
        writer.Post([path, &kept] {
            ovistra::FillStill(path, ovistra::media::VideoView::PackedBitmapOf(kept.data()));
        });
        state.PauseTiming();
        writer.Drain();
        QFile::remove(path);
        moment = moment.addMSecs(1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AlarmStill_HandedToWriter)->Unit(benchmark::kMicrosecond);

void BM_AlarmStill_WrittenInPlace(benchmark::State& state) {
    QTemporaryDir folder;
    const std::vector<uint8_t> frame = bench::Yuy2Frame(7);
    QDateTime moment = QDateTime::currentDateTime();
    for (auto _ : state) {
        const QString path = ovistra::SaveStill(
            folder.path(), moment, ovistra::media::VideoView::PackedBitmapOf(frame.data()));
        state.PauseTiming();
        QFile::remove(path);
        moment = moment.addMSecs(1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AlarmStill_WrittenInPlace)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
