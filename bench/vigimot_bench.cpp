// vigimot's operations on 640x480 grey frames, beside peers doing the same work.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "vigimot.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace bench;

constexpr int kThreshold = 20;

struct Frames {
    std::vector<uint8_t> reference = GreyScene(7);
    std::vector<uint8_t> current = GreySceneWithObject(7, 300, 200);
    std::vector<uint8_t> work = std::vector<uint8_t>(kGreyBytes);
    std::vector<uint8_t> mask = std::vector<uint8_t>(kGreyBytes);
    ImageBuf cur{current.data(), kWidth, kHeight};
    ImageBuf ref{reference.data(), kWidth, kHeight};
    ImageBuf out{work.data(), kWidth, kHeight};
    ImageBuf maskImage{mask.data(), kWidth, kHeight};

    Frames() {
        ORBALIN_Subtract_Image(&cur, &ref, &out);
        ORBALIN_Binarize(&out, &maskImage, 4, kThreshold, 0);
    }
};

void PerFrame(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kGreyBytes);
}

void BM_SubtractImage_C(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ORBALIN_Subtract_Image(&f.cur, &f.ref, &f.out));
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}
BENCHMARK(BM_SubtractImage_C);

void BM_Binarize_C(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ORBALIN_Binarize(&f.cur, &f.out, 4, kThreshold, 0));
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}
BENCHMARK(BM_Binarize_C);

void BM_Erode_C(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        ORBALIN_Erode(&f.maskImage, &f.out);
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}
BENCHMARK(BM_Erode_C);

void BM_FindTarget_C(benchmark::State& state) {
    Frames f;
    Rect16 target{};
    uint8_t found = 0;
    for (auto _ : state) {
        ORBALIN_Find_Target(&f.maskImage, &target, &found);
        benchmark::DoNotOptimize(target);
    }
    PerFrame(state);
}
BENCHMARK(BM_FindTarget_C);

void BM_GetAlarm_C(benchmark::State& state) {
    Frames f;
    uint8_t alarm = 0;
    for (auto _ : state) {
        ORBALIN_Get_Alarm(&f.maskImage, 4, 1000, 0, &alarm);
        benchmark::DoNotOptimize(alarm);
    }
    PerFrame(state);
}
BENCHMARK(BM_GetAlarm_C);

void BM_GetBufChild2d_C(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        ORBALIN_Get_Buf_Child2d(&f.cur, Point16{0, 0}, Size16{kWidth, kHeight}, &f.out);
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}
BENCHMARK(BM_GetBufChild2d_C);

void BM_DetectMotion_C(benchmark::State& state) {
    Frames f;
    uint8_t alarm = 0, found = 0;
    Rect16 target{};
    for (auto _ : state) {
        ORBALIN_Detect_Motion(&f.cur, &f.ref, &f.out, kThreshold, 1, &alarm, &target, &found);
        benchmark::DoNotOptimize(target);
    }
    PerFrame(state);
}
BENCHMARK(BM_DetectMotion_C);

void BM_DetectMotionMultiple_C(benchmark::State& state) {
    Frames f;
    const MotionRegion whole{0, 0, kWidth, kHeight, 1, kThreshold, 1};
    uint8_t alarm = 0, found = 0;
    Point16 centre{};
    Rect16 target{};
    for (auto _ : state) {
        ORBALIN_Detect_Motion_Multiple(&f.cur, &f.ref, 1, &whole, &alarm, &centre, &target, &found);
        benchmark::DoNotOptimize(target);
    }
    PerFrame(state);
}
BENCHMARK(BM_DetectMotionMultiple_C);

void BM_Peer_Memcpy_GreyFrame(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        std::memcpy(f.work.data(), f.current.data(), kGreyBytes);
        benchmark::ClobberMemory();
    }
    PerFrame(state);
}
BENCHMARK(BM_Peer_Memcpy_GreyFrame);

#ifdef HAVE_OPENCV
// The detector's four steps with OpenCV: difference, threshold, 3x3 erosion, bounding box.
void BM_Peer_OpenCV_DetectMotion(benchmark::State& state) {
    Frames f;
    cv::Mat cur(kHeight, kWidth, CV_8UC1, f.current.data());
    cv::Mat ref(kHeight, kWidth, CV_8UC1, f.reference.data());
    cv::Mat diff, mask, eroded;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    for (auto _ : state) {
        cv::absdiff(cur, ref, diff);
        cv::threshold(diff, mask, kThreshold, 255, cv::THRESH_BINARY);
        cv::erode(mask, eroded, kernel);
        benchmark::DoNotOptimize(cv::boundingRect(eroded));
    }
    PerFrame(state);
}
BENCHMARK(BM_Peer_OpenCV_DetectMotion);
#endif

}  // namespace

BENCHMARK_MAIN();
