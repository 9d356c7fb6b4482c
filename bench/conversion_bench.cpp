// The YUY2 -> 24-bit BGR conversion on a 640x480 frame, each variant beside peers doing the
// same work.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "yuy2_to_rgb24.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif
#ifdef HAVE_LIBYUV
#include <libyuv.h>
#endif
#ifdef HAVE_SWSCALE
extern "C" {
#include <libswscale/swscale.h>
}
#endif

namespace {

using namespace bench;

// As the station calls it: bottom-up output from the frame's last line.
void Yuy2ToRgb24(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> dst(kRgb24Bytes);
    for (auto _ : state) {
        ovistra::Yuy2ToRgb24(dst.data(), src.data() + (kHeight - 1) * kWidth * 2, kWidth / 2,
                             kHeight, 0, -2 * kWidth * 2);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}

void BM_Peer_Memcpy_Yuy2Frame(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> dst(kYuy2Bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kYuy2Bytes);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}

#ifdef HAVE_OPENCV
void BM_Peer_OpenCV_Yuy2ToBgr(benchmark::State& state) {
    std::vector<uint8_t> src = Yuy2Frame(1);
    const cv::Mat yuy2(kHeight, kWidth, CV_8UC2, src.data());
    cv::Mat bgr(kHeight, kWidth, CV_8UC3);
    for (auto _ : state) {
        cv::cvtColor(yuy2, bgr, cv::COLOR_YUV2BGR_YUY2);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}
#endif

#ifdef HAVE_LIBYUV
void BM_Peer_Libyuv_YUY2ToARGB(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> argb(kWidth * kHeight * 4);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(src.data(), kWidth * 2, argb.data(), kWidth * 4, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}

// libyuv has no direct YUY2 -> 24-bit route; its fastest goes through 32-bit ARGB.
void BM_Peer_Libyuv_YUY2ToARGBToRGB24(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> argb(kWidth * kHeight * 4);
    std::vector<uint8_t> dst(kRgb24Bytes);
    for (auto _ : state) {
        // A negative height turns the picture bottom-up, as the station stores it.
        libyuv::YUY2ToARGB(src.data(), kWidth * 2, argb.data(), kWidth * 4, kWidth, -kHeight);
        libyuv::ARGBToRGB24(argb.data(), kWidth * 4, dst.data(), kWidth * 3, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    PerFrame(state, kYuy2Bytes);
}
#endif

#ifdef HAVE_SWSCALE
void BM_Peer_Swscale_Yuyv422ToBgr24(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> dst(kRgb24Bytes);
    SwsContext* ctx = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUYV422, kWidth, kHeight,
                                     AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!ctx) {
        state.SkipWithError("no swscale context");
        return;
    }
    const uint8_t* srcPlanes[] = {src.data()};
    const int srcStrides[] = {kWidth * 2};
    uint8_t* dstPlanes[] = {dst.data()};
    const int dstStrides[] = {kWidth * 3};
    for (auto _ : state) {
        sws_scale(ctx, srcPlanes, srcStrides, 0, kHeight, dstPlanes, dstStrides);
        benchmark::ClobberMemory();
    }
    sws_freeContext(ctx);
    PerFrame(state, kYuy2Bytes);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterVariants("Yuy2ToRgb24", Yuy2ToRgb24);
    benchmark::RegisterBenchmark("BM_Peer_Memcpy_Yuy2Frame", BM_Peer_Memcpy_Yuy2Frame);
#ifdef HAVE_OPENCV
    benchmark::RegisterBenchmark("BM_Peer_OpenCV_Yuy2ToBgr", BM_Peer_OpenCV_Yuy2ToBgr);
#endif
#ifdef HAVE_LIBYUV
    benchmark::RegisterBenchmark("BM_Peer_Libyuv_YUY2ToARGB", BM_Peer_Libyuv_YUY2ToARGB);
    benchmark::RegisterBenchmark("BM_Peer_Libyuv_YUY2ToARGBToRGB24",
                                 BM_Peer_Libyuv_YUY2ToARGBToRGB24);
#endif
#ifdef HAVE_SWSCALE
    benchmark::RegisterBenchmark("BM_Peer_Swscale_Yuyv422ToBgr24", BM_Peer_Swscale_Yuyv422ToBgr24);
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
