// Deterministic 640x480 inputs that make the kernels do real work: a noisy scene and the
// same scene with an object moved into it.
#pragma once

#include <cstdint>
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

}  // namespace bench
