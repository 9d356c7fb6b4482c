// Deterministic 640x480 inputs that make the kernels do real work (a noisy scene and the same
// scene with an object moved into it), and the kernel variants to measure.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kGreyBytes = kWidth * kHeight;
constexpr int kYuy2Bytes = kWidth * kHeight * 2;
constexpr int kRgb24Bytes = kWidth * kHeight * 3;

// A textured grey scene with sensor noise of a few levels.
std::vector<uint8_t> GreyScene(uint32_t seed);

// The scene of `seed` with fresh noise and a bright 120x90 object at (x, y).
std::vector<uint8_t> GreySceneWithObject(uint32_t seed, int x, int y);

// A 640x480 YUY2 frame with varied luma and chroma.
std::vector<uint8_t> Yuy2Frame(uint32_t seed);

// A 640x480 24-bit BGR picture with varied colours.
std::vector<uint8_t> Rgb24Frame(uint32_t seed);

// Registers BM_<kernel>_<variant> for the reference and each SIMD variant the CPU has; the
// body runs with the CPU features capped to that variant.
void RegisterVariants(const std::string& kernel,
                      const std::function<void(benchmark::State&)>& body);

// Time per frame is the benchmark's time; this adds the bytes of one frame per iteration.
inline void PerFrame(benchmark::State& state, int64_t frameBytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frameBytes);
}

}  // namespace bench
