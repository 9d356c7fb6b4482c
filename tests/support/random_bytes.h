// Reproducible noise for tests: the same seed gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ovistra::testing {

inline std::vector<uint8_t> RandomBytes(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(bytes);
    for (uint8_t& byte : data) {
        byte = static_cast<uint8_t>(random());
    }
    return data;
}

}  // namespace ovistra::testing
