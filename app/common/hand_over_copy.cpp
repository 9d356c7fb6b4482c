#include "hand_over_copy.h"

#include <cstddef>
#include <cstring>

namespace ovistra {
namespace {

constexpr ptrdiff_t kFrameLineBytes = 1280;
constexpr ptrdiff_t kBlockLineBytes = kHandOverWidth * 2;

}  // namespace

void HandOverRow_C(const uint8_t* src, uint8_t* dst, int units) {
    for (int u = 0; u < units; ++u, src += 8, dst += 4) {
        std::memcpy(dst, src, 4);
    }
}

void CopyHandOverFrame(const uint8_t* frame640x480, uint8_t* block320x240) {
    if (frame640x480 == nullptr || block320x240 == nullptr) {
        return;
    }
    const PixelRow row(kHandOverRow);
    for (int k = 0; k < kHandOverHeight; ++k) {
        row.Run(frame640x480 + 2 * k * kFrameLineBytes, block320x240 + k * kBlockLineBytes,
                kHandOverWidth / 2);
    }
}

}  // namespace ovistra
