#include "cpu_features.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace simd {
namespace {

unsigned Detect() {
    unsigned features = 0;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2")) {
        features |= kSse2;
    }
    if (__builtin_cpu_supports("avx2")) {
        features |= kAvx2;
    }
#endif
    return features;
}

unsigned EnvironmentMask() {
    const char* level = std::getenv("OVISTRA_SIMD");
    if (!level) {
        return ~0u;
    }
    if (std::strcmp(level, "c") == 0) {
        return 0;
    }
    if (std::strcmp(level, "sse2") == 0) {
        return kSse2;
    }
    return ~0u;
}

// Written once at the first call (every writer computes the same value), then read only.
std::atomic<unsigned> g_detected{~0u};
std::atomic<unsigned> g_allowed{~0u};

}  // namespace

unsigned DetectedFeatures() {
    unsigned detected = g_detected.load(std::memory_order_acquire);
    if (detected == ~0u) {
        detected = Detect() & EnvironmentMask();
        g_detected.store(detected, std::memory_order_release);
    }
    return detected;
}

unsigned Features() {
    return DetectedFeatures() & g_allowed.load(std::memory_order_relaxed);
}

Variant ActiveVariant() {
    const unsigned features = Features();
    if (features & kAvx2) {
        return Variant::kAvx2;
    }
    if (features & kSse2) {
        return Variant::kSse2;
    }
    return Variant::kC;
}

const char* VariantName(Variant variant) {
    switch (variant) {
        case Variant::kAvx2:
            return "AVX2";
        case Variant::kSse2:
            return "SSE2";
        case Variant::kC:
            break;
    }
    return "C";
}

unsigned SetAllowedForTesting(unsigned allowed) {
    return g_allowed.exchange(allowed, std::memory_order_relaxed);
}

}  // namespace simd
