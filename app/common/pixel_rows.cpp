#include "pixel_rows.h"

#include <cstddef>

#include "cpu_features.h"

namespace ovistra {

PixelRow::PixelRow(const PixelRowVariants& variants)
    : variants_(variants), fast_(variants.c), block_(1) {
    switch (simd::ActiveVariant()) {
        case simd::Variant::kAvx2:
            fast_ = variants.avx2;
            block_ = variants.avx2Block;
            break;
        case simd::Variant::kSse2:
            fast_ = variants.sse2;
            block_ = variants.sse2Block;
            break;
        case simd::Variant::kC:
            break;
    }
}

void PixelRow::Run(const uint8_t* src, uint8_t* dst, int units) const {
    const int n = units - units % block_;
    fast_(src, dst, n);
    variants_.c(src + ptrdiff_t{variants_.srcUnitBytes} * n,
                dst + ptrdiff_t{variants_.dstUnitBytes} * n, units - n);
}

}  // namespace ovistra
