#include "bench_frames.h"

#include <random>

#include "cpu_features.h"

namespace bench {
namespace {

std::vector<uint8_t> Scene(uint32_t seed, uint32_t noiseSeed, int objectX, int objectY) {
    std::mt19937 noise(noiseSeed);
    std::vector<uint8_t> plane(kGreyBytes);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int texture = static_cast<int>((x * 7 + y * 3 + seed) % 160) + 40;
            const bool object =
                x >= objectX && x < objectX + 120 && y >= objectY && y < objectY + 90;
            const int value = object ? 230 : texture + static_cast<int>(noise() % 7) - 3;
            plane[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(value);
        }
    }
    return plane;
}

std::vector<uint8_t> RandomBytes(uint32_t seed, size_t bytes) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> frame(bytes);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(rng());
    }
    return frame;
}

struct VariantCap {
    const char* name;
    unsigned features;
};

constexpr VariantCap kVariants[] = {
    {"C", 0},
    {"SSE2", simd::kSse2},
    {"AVX2", simd::kSse2 | simd::kAvx2},
};

}  // namespace

std::vector<uint8_t> GreyScene(uint32_t seed) {
    return Scene(seed, seed + 1, -1000, -1000);
}

std::vector<uint8_t> GreySceneWithObject(uint32_t seed, int x, int y) {
    return Scene(seed, seed + 2, x, y);
}

std::vector<uint8_t> Yuy2Frame(uint32_t seed) {
    return RandomBytes(seed, kYuy2Bytes);
}

std::vector<uint8_t> Rgb24Frame(uint32_t seed) {
    return RandomBytes(seed, kRgb24Bytes);
}

void RegisterVariants(const std::string& kernel,
                      const std::function<void(benchmark::State&)>& body) {
    for (const VariantCap& v : kVariants) {
        if ((simd::DetectedFeatures() & v.features) != v.features) {
            continue;
        }
        const unsigned features = v.features;
        benchmark::RegisterBenchmark(
            ("BM_" + kernel + "_" + v.name).c_str(), [features, body](benchmark::State& state) {
                const unsigned before = simd::SetAllowedForTesting(features);
                body(state);
                simd::SetAllowedForTesting(before);
            });
    }
}

}  // namespace bench
