// One camera's detection tick: conversion, grey plane and the comparison through the loaded
// analysis library, on two of the simulated device's noisy pictures half a second apart while
// its object crosses; with two zones and light changes told from motion (the object makes
// every tick a motion tick, so the light rule always runs), and with the threshold following
// the noise; beside OpenCV doing the same steps when it is installed.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_frames.h"
#include "c_detector_record.h"
#include "sim_scene.h"

#ifdef HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace bench;

// Two ticks of camera 2 while its object crosses in ten seconds: moved and with fresh noise.
std::vector<std::vector<uint8_t>> MovingObjectFrames() {
    constexpr int64_t kSecond = 1'000'000'000;
    const ovistra::media::SimScene scene(2, 2820, {{2, 0.0, 10.0}});
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> frame(kYuy2Bytes);
        scene.Render(frame.data(), 2 * kSecond + i * kSecond / 2, 50 + 12 * i, 0);
        frames.push_back(std::move(frame));
    }
    return frames;
}

enum class Rules { kNone, kZonesAndLight, kNoiseFollowing };

void ProcessFrame(benchmark::State& state, Rules rules) {
    const auto frames = MovingObjectFrames();
    ovistra::CDetectorRecord record(VIGIMOT_LIBRARY);
    if (record.availability() != ovistra::CDetectorRecord::Availability::Ready) {
        state.SkipWithError("the analysis library could not be loaded");
        return;
    }
    record.SetFrameRect(0, 0, kWidth, kHeight);
    record.SetDiffThreshold(50);
    if (rules == Rules::kZonesAndLight) {
        record.SetZones({QRect(0, 200, 400, 280), QRect(300, 240, 340, 240)});
        record.SetLightChangeReject(true);
    } else if (rules == Rules::kNoiseFollowing) {
        record.SetThresholdFollowsNoise(true);
        record.SetLightChangeReject(true);
    }
    record.ProcessFrame(frames[0].data());
    record.ProcessFrame(frames[1].data());
    uint32_t moved = 0;
    record.QueryAlarm(&moved);
    if (moved != 1) {
        state.SkipWithError("the moving object raised no alarm");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        record.ProcessFrame(frames[i++ & 1].data());
        uint32_t alarm = 0;
        record.QueryAlarm(&alarm);
        benchmark::DoNotOptimize(alarm);
    }
    PerFrame(state, kYuy2Bytes);
}

void BM_ProcessFrame(benchmark::State& state) {
    ProcessFrame(state, Rules::kNone);
}
BENCHMARK(BM_ProcessFrame);

void BM_ProcessFrame_ZonesAndLightRule(benchmark::State& state) {
    ProcessFrame(state, Rules::kZonesAndLight);
}
BENCHMARK(BM_ProcessFrame_ZonesAndLightRule);

void BM_ProcessFrame_NoiseFollowing(benchmark::State& state) {
    ProcessFrame(state, Rules::kNoiseFollowing);
}
BENCHMARK(BM_ProcessFrame_NoiseFollowing);

#ifdef HAVE_OPENCV
void BM_Peer_OpenCV_ProcessFrame(benchmark::State& state) {
    auto frames = MovingObjectFrames();
    cv::Mat bgr, flipped, grey[2], diff, mask, eroded;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    size_t i = 0;
    for (auto _ : state) {
        const cv::Mat yuy2(kHeight, kWidth, CV_8UC2, frames[i & 1].data());
        cv::cvtColor(yuy2, bgr, cv::COLOR_YUV2BGR_YUY2);
        cv::flip(bgr, flipped, 0);
        cv::cvtColor(flipped, grey[i & 1], cv::COLOR_BGR2GRAY);
        if (i > 0) {
            cv::absdiff(grey[0], grey[1], diff);
            cv::threshold(diff, mask, 50, 255, cv::THRESH_BINARY);
            cv::erode(mask, eroded, kernel);
            benchmark::DoNotOptimize(cv::boundingRect(eroded));
        }
        ++i;
    }
    PerFrame(state, kYuy2Bytes);
}
BENCHMARK(BM_Peer_OpenCV_ProcessFrame);
#endif

}  // namespace

BENCHMARK_MAIN();
