// One frame through the live picture: stored into a grabber, converted and painted by a real
// video view on the offscreen platform; beside it the bare scaled conversion at the same sizes.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdint>
#include <vector>

#include "bench_frames.h"
#include "frame_grabber.h"
#include "video_view.h"
#include "yuy2_to_rgb32_scaled.h"

namespace {

using namespace bench;

void SizeArgs(benchmark::internal::Benchmark* b) {
    b->Args({320, 240});  // a quarter of the 640x480 grid
    b->Args({960, 540});  // a quarter of a 1920x1080 screen
    b->ArgNames({"width", "height"});
}

void BM_VideoViewFrame(benchmark::State& state) {
    const std::vector<uint8_t> frame = Yuy2Frame(1);
    ovistra::media::FrameGrabber grabber;
    ovistra::media::VideoView view;
    view.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    view.SetGrabber(&grabber);
    view.show();
    QApplication::processEvents();
    const uint64_t before = view.conversions();
    for (auto _ : state) {
        grabber.Store(frame.data(), frame.size());
        view.repaint();
        // Delivers the update the frame queued, so the queue does not grow with the loop.
        QApplication::processEvents();
    }
    state.counters["conversions_per_frame"] =
        static_cast<double>(view.conversions() - before) / static_cast<double>(state.iterations());
    PerFrame(state, kYuy2Bytes);
}

void BM_Yuy2ToRgb32Scaled(benchmark::State& state) {
    const std::vector<uint8_t> frame = Yuy2Frame(1);
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    std::vector<uint32_t> dst(static_cast<size_t>(width) * height);
    for (auto _ : state) {
        ovistra::Yuy2ToRgb32Scaled(dst.data(), width, width, height, frame.data());
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}

BENCHMARK(BM_VideoViewFrame)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Yuy2ToRgb32Scaled)->Apply(SizeArgs)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
