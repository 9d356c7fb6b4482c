// One recorded frame as the frame timer hands it over: conversion, time stamp and the push into
// the recorder's pipeline (raw pictures into a discarding writer, so only the hand-over counts),
// beside the conversion alone as the recorder calls it.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <vector>

#include "bench_frames.h"
#include "c_recorder.h"
#include "yuy2_to_rgb24.h"

namespace {

using namespace bench;

// Upright, as the recorder converts: the frame's first line first.
void BM_Yuy2ToRgb24_Upright(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> dst(kRgb24Bytes);
    for (auto _ : state) {
        ovistra::Yuy2ToRgb24(dst.data(), src.data(), kWidth / 2, kHeight, 0, 0);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}
BENCHMARK(BM_Yuy2ToRgb24_Upright);

void BM_PushFrame(benchmark::State& state) {
    const std::vector<uint8_t> frames[] = {Yuy2Frame(1), Yuy2Frame(2)};
    ovistra::CRecorder recorder;
    recorder.SetFrameInterval(40);
    recorder.EnableTimeStamp();
    recorder.SetVideoCompressor("identity");
    recorder.SetWriterFactory("fakesink");
    recorder.SetFileName(QStringLiteral("unused.avi"));
    if (!recorder.BuildGraph() || !recorder.Run()) {
        state.SkipWithError("the recorder's pipeline could not run");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        recorder.PushFrame(frames[i++ & 1].data(), true);
    }
    recorder.Stop();
    PerFrame(state, kYuy2Bytes);
}
BENCHMARK(BM_PushFrame);

}  // namespace

int main(int argc, char** argv) {
    // The stamp's text is rendered with the application's font.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
