// The deinterlace kernels on one 720x576 frame of noise, each variant on its own, beside a copy
// of the same bytes (the floor for a one-pass kernel) and libpostproc's linear blend.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "cpu_features.h"
#include "deinterlace_kernels.h"

#ifdef HAVE_LIBPOSTPROC
extern "C" {
#include <libpostproc/postprocess.h>
}
#endif

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 576;
constexpr size_t kLumaBytes = size_t{kWidth} * kHeight;
constexpr size_t kYuy2Bytes = kLumaBytes * 2;
constexpr size_t kI420Bytes = kLumaBytes * 3 / 2;

std::vector<uint8_t> Noise(size_t bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(bytes);
    for (uint8_t& v : out) {
        v = static_cast<uint8_t>(rng());
    }
    return out;
}

// Caps the dispatcher at one variant for the life of a benchmark.
class VariantScope {
public:
    VariantScope(benchmark::State& state, unsigned features) {
        available_ = (simd::DetectedFeatures() & features) == features;
        if (!available_) {
            state.SkipWithError("variant not available on this CPU or under OVISTRA_SIMD");
        }
        previous_ = simd::SetAllowedForTesting(features);
    }
    ~VariantScope() { simd::SetAllowedForTesting(previous_); }
    bool available() const { return available_; }

private:
    unsigned previous_ = 0;
    bool available_ = false;
};

constexpr unsigned kC = 0;
constexpr unsigned kSse2 = simd::kSse2;
constexpr unsigned kAvx2 = simd::kSse2 | simd::kAvx2;

void Packed(benchmark::State& state, unsigned features) {
    VariantScope scope(state, features);
    const std::vector<uint8_t> src = Noise(kYuy2Bytes, 1);
    std::vector<uint8_t> dst(kYuy2Bytes);
    while (scope.available() && state.KeepRunning()) {
        fieldmend::DeinterlacePacked({src.data(), 2 * kWidth}, {dst.data(), 2 * kWidth}, kWidth,
                                     kHeight, false);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kYuy2Bytes));
}

struct I420 {
    std::vector<uint8_t> bytes;
    uint8_t* plane[3];
    ptrdiff_t stride[3] = {kWidth, kWidth / 2, kWidth / 2};

    explicit I420(uint32_t seed) : bytes(Noise(kI420Bytes, seed)) {
        plane[0] = bytes.data();
        plane[1] = plane[0] + kLumaBytes;
        plane[2] = plane[1] + kLumaBytes / 4;
    }
};

void Planar(benchmark::State& state, unsigned features) {
    VariantScope scope(state, features);
    I420 src(2), dst(3);
    const fieldmend::PlanarFrame in{{src.plane[0], src.plane[1], src.plane[2]},
                                    {src.stride[0], src.stride[1], src.stride[2]}};
    const fieldmend::PlanarFrameOut out{{dst.plane[0], dst.plane[1], dst.plane[2]},
                                        {dst.stride[0], dst.stride[1], dst.stride[2]}};
    while (scope.available() && state.KeepRunning()) {
        fieldmend::DeinterlacePlanar(in, out, kWidth, kHeight, false);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kI420Bytes));
}

// One YUY2 row of 1440 bytes, straight to a variant, so the frame wrapper is not in the figure.
void Line(benchmark::State& state, unsigned features,
          void (*filter)(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int)) {
    VariantScope scope(state, features);
    constexpr int kRowBytes = 2 * kWidth;
    const std::vector<uint8_t> rows = Noise(3 * kRowBytes, 4);
    std::vector<uint8_t> dst(kRowBytes);
    while (scope.available() && state.KeepRunning()) {
        filter(dst.data(), rows.data(), rows.data() + kRowBytes, rows.data() + 2 * kRowBytes,
               kRowBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRowBytes));
}

void BM_DeinterlacePacked_C(benchmark::State& state) {
    Packed(state, kC);
}
void BM_DeinterlacePacked_SSE2(benchmark::State& state) {
    Packed(state, kSse2);
}
void BM_DeinterlacePacked_AVX2(benchmark::State& state) {
    Packed(state, kAvx2);
}
void BM_DeinterlacePlanar_C(benchmark::State& state) {
    Planar(state, kC);
}
void BM_DeinterlacePlanar_SSE2(benchmark::State& state) {
    Planar(state, kSse2);
}
void BM_DeinterlacePlanar_AVX2(benchmark::State& state) {
    Planar(state, kAvx2);
}
void BM_FilterLine_C(benchmark::State& state) {
    Line(state, kC, fieldmend::FilterLine_C);
}
void BM_FilterLine_SSE2(benchmark::State& state) {
    Line(state, kSse2, fieldmend::FilterLine_SSE2);
}
void BM_FilterLine_AVX2(benchmark::State& state) {
    Line(state, kAvx2, fieldmend::FilterLine_AVX2);
}
BENCHMARK(BM_DeinterlacePacked_C);
BENCHMARK(BM_DeinterlacePacked_SSE2);
BENCHMARK(BM_DeinterlacePacked_AVX2);
BENCHMARK(BM_DeinterlacePlanar_C);
BENCHMARK(BM_DeinterlacePlanar_SSE2);
BENCHMARK(BM_DeinterlacePlanar_AVX2);
BENCHMARK(BM_FilterLine_C);
BENCHMARK(BM_FilterLine_SSE2);
BENCHMARK(BM_FilterLine_AVX2);

void Memcpy(benchmark::State& state, size_t bytes) {
    const std::vector<uint8_t> src = Noise(bytes, 5);
    std::vector<uint8_t> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_Peer_Memcpy_Yuy2Frame720x576(benchmark::State& state) {
    Memcpy(state, kYuy2Bytes);
}
void BM_Peer_Memcpy_I420Frame720x576(benchmark::State& state) {
    Memcpy(state, kI420Bytes);
}
BENCHMARK(BM_Peer_Memcpy_Yuy2Frame720x576);
BENCHMARK(BM_Peer_Memcpy_I420Frame720x576);

#ifdef HAVE_LIBPOSTPROC
void BM_Peer_Libpostproc_LinearBlend(benchmark::State& state) {
    I420 src(2), dst(3);
    const int stride[3] = {kWidth, kWidth / 2, kWidth / 2};
    const uint8_t* in[3] = {src.plane[0], src.plane[1], src.plane[2]};
    pp_mode* mode = pp_get_mode_by_name_and_quality("lb", PP_QUALITY_MAX);
    pp_context* context = pp_get_context(kWidth, kHeight, PP_FORMAT_420 | PP_CPU_CAPS_AUTO);
    if (!mode || !context) {
        state.SkipWithError("libpostproc refused the linear blend");
    }
    while (mode && context && state.KeepRunning()) {
        pp_postprocess(in, stride, dst.plane, stride, kWidth, kHeight, nullptr, 0, mode, context,
                       0);
        benchmark::ClobberMemory();
    }
    if (context) {
        pp_free_context(context);
    }
    if (mode) {
        pp_free_mode(mode);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kI420Bytes));
}
BENCHMARK(BM_Peer_Libpostproc_LinearBlend);
#endif

}  // namespace

BENCHMARK_MAIN();
