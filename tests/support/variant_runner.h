// Runs a test body once per kernel variant the CPU has (under OVISTRA_SIMD), with the CPU
// features capped so that the dispatchers select it; a supported variant that is not selected
// fails. VariantReport prints the variants that ran when the program ends and fails when one the
// CPU has never ran.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cpu_features.h"

namespace variant_test {

struct VariantCap {
    simd::Variant variant;
    unsigned features;
};

inline constexpr VariantCap kVariants[] = {
    {simd::Variant::kC, 0},
    {simd::Variant::kSse2, simd::kSse2},
    {simd::Variant::kAvx2, simd::kSse2 | simd::kAvx2},
};

inline bool Supported(const VariantCap& v) {
    return (simd::DetectedFeatures() & v.features) == v.features;
}

// Bit i: kVariants[i] ran in this process.
inline unsigned& VariantsRun() {
    static unsigned run = 0;
    return run;
}

template <typename Body>
void ForEachVariant(Body body) {
    for (size_t i = 0; i < std::size(kVariants); ++i) {
        const VariantCap& v = kVariants[i];
        if (!Supported(v)) {
            continue;
        }
        const unsigned before = simd::SetAllowedForTesting(v.features);
        const bool selected = simd::ActiveVariant() == v.variant;
        EXPECT_TRUE(selected) << simd::VariantName(v.variant) << " is supported but not selected";
        if (selected) {
            SCOPED_TRACE(std::string("variant ") + simd::VariantName(v.variant));
            body();
            VariantsRun() |= 1u << i;
        }
        simd::SetAllowedForTesting(before);
    }
}

class VariantReport : public testing::Environment {
public:
    explicit VariantReport(const char* what) : what_(what) {}
    void TearDown() override {
        if (VariantsRun() == 0) {
            return;
        }
        std::string ran;
        for (size_t i = 0; i < std::size(kVariants); ++i) {
            if (VariantsRun() & (1u << i)) {
                ran += std::string(" ") + simd::VariantName(kVariants[i].variant);
            } else if (Supported(kVariants[i])) {
                ADD_FAILURE() << simd::VariantName(kVariants[i].variant)
                              << " is supported but no test ran it";
            }
        }
        std::printf("[ variants ] %s ran:%s\n", what_, ran.c_str());
    }

private:
    const char* what_;
};

}  // namespace variant_test
