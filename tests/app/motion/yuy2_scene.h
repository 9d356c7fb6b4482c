// Test frames for the detectors: a grey 640x480 YUY2 scene with a few levels of noise and
// optionally an object.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace ovistra::testing {

// Luma `level` with noise of +-`noise`, and optionally a 60x60 block of luma `objectLevel` at
// (300, 200).
inline std::vector<uint8_t> Yuy2Scene(uint32_t seed, int level, int noise, int objectLevel = -1) {
    constexpr int kW = 640, kH = 480;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    std::vector<uint8_t> frame(size_t{kW} * kH * 2);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool inObject = objectLevel >= 0 && x >= 300 && x < 360 && y >= 200 && y < 260;
            const int luma = inObject ? objectLevel : level + jitter(random);
            frame[(size_t{kW} * y + x) * 2] = static_cast<uint8_t>(std::clamp(luma, 0, 255));
            frame[(size_t{kW} * y + x) * 2 + 1] = 128;
        }
    }
    return frame;
}

}  // namespace ovistra::testing

namespace ovistra::testing {

// A block of one luma level standing in the picture.
struct SceneBlock {
    int left, top, width, height, luma;
};

// A picture with texture for the light rules to fit: 16x16 squares of five grey levels from
// `base`, lit by `lightPercent` (100: as is), with noise of +-`noise` and blocks on top (not
// lit: they are what moves).
struct TexturedScenePlan {
    uint32_t seed = 1;
    int base = 60;
    int lightPercent = 100;
    int noise = 2;
    int pool = 0;  // a lamp's elliptic pool of light on the lower half, this bright at its middle
    std::vector<SceneBlock> blocks;
};

inline std::vector<uint8_t> TexturedScene(const TexturedScenePlan& plan) {
    constexpr int kW = 640, kH = 480;
    std::mt19937 random(plan.seed);
    std::uniform_int_distribution<int> jitter(-plan.noise, plan.noise);
    std::vector<uint8_t> frame(size_t{kW} * kH * 2);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            int luma = plan.base + ((x / 16 + y / 16) % 5) * 20;
            luma = 16 + (luma - 16) * plan.lightPercent / 100;
            const double dx = (x - 300) / 220.0, dy = (y - 330) / 110.0;
            if (dx * dx + dy * dy < 1) {
                luma += static_cast<int>(plan.pool * (1 - dx * dx - dy * dy));
            }
            for (const SceneBlock& b : plan.blocks) {
                if (x >= b.left && x < b.left + b.width && y >= b.top && y < b.top + b.height) {
                    luma = b.luma;
                }
            }
            luma += jitter(random);
            frame[(size_t{kW} * y + x) * 2] = static_cast<uint8_t>(std::clamp(luma, 0, 255));
            frame[(size_t{kW} * y + x) * 2 + 1] = 128;
        }
    }
    return frame;
}

}  // namespace ovistra::testing
