// The detector's grey plane of a 640x480 picture, each variant beside peers doing the same
// work: from the bottom-up 24-bit picture, and straight from the YUY2 frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "grey_plane.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif
#ifdef HAVE_LIBYUV
#include <libyuv.h>
#endif

namespace {

using namespace bench;

void GreyPlane(benchmark::State& state) {
    const std::vector<uint8_t> bgr = Rgb24Frame(3);
    std::vector<uint8_t> grey(kGreyBytes);
    for (auto _ : state) {
        ovistra::MakeGreyPlane(grey.data(), kWidth, bgr.data(), kWidth * 3, kWidth, kHeight,
                               ovistra::RowOrder::kBottomUp);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kRgb24Bytes);
}

// Straight from the camera frame (top-down YUY2 to top-down grey).
void Yuy2ToGreyPlane(benchmark::State& state) {
    const std::vector<uint8_t> yuy2 = Yuy2Frame(1);
    std::vector<uint8_t> grey(kGreyBytes);
    for (auto _ : state) {
        ovistra::Yuy2ToGreyPlane(grey.data(), kWidth, yuy2.data(), kWidth * 2, kWidth / 2, kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}

void BM_Peer_Memcpy_Rgb24Frame(benchmark::State& state) {
    const std::vector<uint8_t> bgr = Rgb24Frame(3);
    std::vector<uint8_t> copy(kRgb24Bytes);
    for (auto _ : state) {
        std::memcpy(copy.data(), bgr.data(), kRgb24Bytes);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kRgb24Bytes);
}

#ifdef HAVE_LIBYUV
// libyuv's RGB24 is blue, green, red in memory; a negative height reads it bottom-up.
void BM_Peer_Libyuv_RGB24ToJ400(benchmark::State& state) {
    const std::vector<uint8_t> bgr = Rgb24Frame(3);
    std::vector<uint8_t> grey(kGreyBytes);
    for (auto _ : state) {
        libyuv::RGB24ToJ400(bgr.data(), kWidth * 3, grey.data(), kWidth, kWidth, -kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kRgb24Bytes);
}

void BM_Peer_Libyuv_YUY2ToARGBToJ400(benchmark::State& state) {
    const std::vector<uint8_t> yuy2 = Yuy2Frame(1);
    std::vector<uint8_t> argb(kWidth * kHeight * 4);
    std::vector<uint8_t> grey(kGreyBytes);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(yuy2.data(), kWidth * 2, argb.data(), kWidth * 4, kWidth, kHeight);
        libyuv::ARGBToJ400(argb.data(), kWidth * 4, grey.data(), kWidth, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}
#endif

#ifdef HAVE_OPENCV
void BM_Peer_OpenCV_BgrToGray(benchmark::State& state) {
    std::vector<uint8_t> bgr = Rgb24Frame(3);
    const cv::Mat src(kHeight, kWidth, CV_8UC3, bgr.data());
    cv::Mat grey(kHeight, kWidth, CV_8UC1);
    for (auto _ : state) {
        cv::cvtColor(src, grey, cv::COLOR_BGR2GRAY);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kRgb24Bytes);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterVariants("GreyPlane", GreyPlane);
    benchmark::RegisterBenchmark("BM_Peer_Memcpy_Rgb24Frame", BM_Peer_Memcpy_Rgb24Frame);
#ifdef HAVE_LIBYUV
    benchmark::RegisterBenchmark("BM_Peer_Libyuv_RGB24ToJ400", BM_Peer_Libyuv_RGB24ToJ400);
#endif
#ifdef HAVE_OPENCV
    benchmark::RegisterBenchmark("BM_Peer_OpenCV_BgrToGray", BM_Peer_OpenCV_BgrToGray);
#endif
    RegisterVariants("Yuy2ToGreyPlane", Yuy2ToGreyPlane);
#ifdef HAVE_LIBYUV
    benchmark::RegisterBenchmark("BM_Peer_Libyuv_YUY2ToARGBToJ400",
                                 BM_Peer_Libyuv_YUY2ToARGBToJ400);
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
