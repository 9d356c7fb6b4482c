// vigimot's operations on 640x480 grey frames, each variant beside peers doing the same work.
// The operations run through the kernel library, the code behind the exports, so each variant
// can be chosen.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "detector.h"
#include "planes.h"
#include "vigimot.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace bench;

constexpr int kThreshold = 20;

// A noisy background and the same background with a moving object: the difference is noise
// below the threshold everywhere but on the object.
struct Frames {
    std::vector<uint8_t> reference = GreyScene(7);
    std::vector<uint8_t> current = GreySceneWithObject(7, 300, 200);
    std::vector<uint8_t> work = std::vector<uint8_t>(kGreyBytes);
    std::vector<uint8_t> mask = std::vector<uint8_t>(kGreyBytes);
    ImageBuf cur{current.data(), kWidth, kHeight};
    ImageBuf ref{reference.data(), kWidth, kHeight};
    ImageBuf out{work.data(), kWidth, kHeight};
    vigimot::PlaneView curView = vigimot::View(cur);
    vigimot::PlaneView refView = vigimot::View(ref);

    Frames() {
        vigimot::AbsDiffPlane(curView, refView, work.data());
        vigimot::BandPlane(work.data(), mask.data(), kGreyBytes, vigimot::ChangedBand(kThreshold));
    }
};

void SubtractImage(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        vigimot::AbsDiffPlane(f.curView, f.refView, f.work.data());
        benchmark::ClobberMemory();
    }
    PerFrame(state, kGreyBytes);
}

void Binarize(benchmark::State& state) {
    Frames f;
    const vigimot::Band band = *vigimot::BinarizeBand(4, kThreshold, 0);
    for (auto _ : state) {
        vigimot::BandPlane(f.current.data(), f.work.data(), kGreyBytes, band);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kGreyBytes);
}

void Erode(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        vigimot::ErodePlane(f.mask.data(), f.work.data(), kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kGreyBytes);
}

void FindTarget(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vigimot::FindBounds(f.mask.data(), kWidth, kHeight));
    }
    PerFrame(state, kGreyBytes);
}

void GetAlarm(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vigimot::CountSetPlane(f.mask.data(), kGreyBytes));
    }
    PerFrame(state, kGreyBytes);
}

void DetectMotion(benchmark::State& state) {
    Frames f;
    uint8_t alarm = 0, found = 0;
    Rect16 target{};
    for (auto _ : state) {
        vigimot::DetectMotion(&f.cur, &f.ref, &f.out, kThreshold, 1, &alarm, &target, &found);
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kGreyBytes);
}

// As the station calls it: one region covering the whole frame.
void DetectMotionMultiple(benchmark::State& state) {
    Frames f;
    const MotionRegion whole{0, 0, kWidth, kHeight, 1, kThreshold, 1};
    uint8_t alarm = 0, found = 0;
    Point16 centre{};
    Rect16 target{};
    for (auto _ : state) {
        vigimot::DetectMotionMultiple(&f.cur, &f.ref, 1, &whole, &alarm, &centre, &target, &found);
        benchmark::DoNotOptimize(target);
    }
    PerFrame(state, kGreyBytes);
}

void BM_Peer_Memcpy_GreyFrame(benchmark::State& state) {
    Frames f;
    for (auto _ : state) {
        std::memcpy(f.work.data(), f.current.data(), kGreyBytes);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kGreyBytes);
}

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
    PerFrame(state, kGreyBytes);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterVariants("SubtractImage", SubtractImage);
    RegisterVariants("Binarize", Binarize);
    RegisterVariants("Erode", Erode);
    RegisterVariants("FindTarget", FindTarget);
    RegisterVariants("GetAlarm", GetAlarm);
    RegisterVariants("DetectMotion", DetectMotion);
    RegisterVariants("DetectMotionMultiple", DetectMotionMultiple);
    benchmark::RegisterBenchmark("BM_Peer_Memcpy_GreyFrame", BM_Peer_Memcpy_GreyFrame);
#ifdef HAVE_OPENCV
    benchmark::RegisterBenchmark("BM_Peer_OpenCV_DetectMotion", BM_Peer_OpenCV_DetectMotion);
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
