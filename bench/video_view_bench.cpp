// One frame through the live picture: stored into a grabber, converted and painted by a real
// video view on the offscreen platform; beside it the bare scaled conversion at the same sizes,
// and a repaint for the picture's overlay alone (no new frame), bare and with all it can show.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdint>
#include <vector>

#include "bench_frames.h"
#include "frame_grabber.h"
#include "picture_overlay.h"
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

// range(2), what the overlay shows: 0 no overlay; 1 the alarm border and the badge (any view
// state); 2 those and the full-screen caption and clock; 3 those and the lock banner.
void BM_VideoViewOverlayRepaint(benchmark::State& state) {
    const std::vector<uint8_t> frame = Yuy2Frame(1);
    ovistra::media::FrameGrabber grabber;
    ovistra::media::VideoView view;
    ovistra::PictureOverlay overlay;
    const int64_t shown = state.range(2);
    overlay.SetRecordingBadge("REC");
    overlay.SetRecording(shown >= 1);
    overlay.SetAlarmLit(shown >= 1);
    overlay.SetFullScreen(shown >= 2);
    overlay.SetCaption("Camera II (Gate) - recording");
    overlay.SetClock("2026-12-09  15:04:05");
    overlay.SetLockBanner(shown >= 3 ? "Locked" : "");
    if (shown > 0) {
        view.SetOverlay([&overlay](QPainter& p, const QRect& r) { overlay.Paint(p, r); });
    }
    view.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    view.SetGrabber(&grabber);
    grabber.Store(frame.data(), frame.size());
    view.show();
    QApplication::processEvents();
    view.repaint();
    const uint64_t before = view.conversions();
    for (auto _ : state) {
        view.repaint();
    }
    state.counters["conversions"] = static_cast<double>(view.conversions() - before);
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
BENCHMARK(BM_VideoViewOverlayRepaint)
    ->ArgsProduct({{320}, {240}, {0, 1, 2, 3}})
    ->ArgsProduct({{960}, {540}, {0, 1, 2, 3}})
    ->ArgNames({"width", "height", "overlay"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
