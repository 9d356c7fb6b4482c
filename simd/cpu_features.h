// Which instruction sets the kernels may use. Detected once; the environment variable
// OVISTRA_SIMD=c|sse2|avx2 caps the level for a whole run (c: the scalar references only), and
// tests cap it per call site to run each variant. Thread-safe.
#pragma once

namespace simd {

enum Feature : unsigned {
    kSse2 = 1u << 0,
    kAvx2 = 1u << 1,
};

// The features the CPU has, less those masked.
unsigned Features();

inline bool Has(Feature feature) {
    return (Features() & feature) != 0;
}

// The kernel variant a dispatcher runs: the fastest the usable features allow. Asked per call,
// so a test's mask takes effect at once.
enum class Variant { kC, kSse2, kAvx2 };
Variant ActiveVariant();
const char* VariantName(Variant variant);

// Masks features for testing: only those in `allowed` stay usable. Returns the previous mask.
unsigned SetAllowedForTesting(unsigned allowed);

// The features the CPU has under the environment's cap, whatever the testing mask: the
// variants a test must run.
unsigned DetectedFeatures();

}  // namespace simd
