// The hand-over copy of a 640x480 frame into the 320x240 shared block, each variant beside a
// plain copy of the block's 153600 bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "hand_over_copy.h"

namespace {

using namespace bench;

void HandOverCopy(benchmark::State& state) {
    const std::vector<uint8_t> frame = Yuy2Frame(1);
    std::vector<uint8_t> block(ovistra::kHandOverBytes);
    for (auto _ : state) {
        ovistra::CopyHandOverFrame(frame.data(), block.data());
        benchmark::ClobberMemory();
    }
    PerFrame(state, ovistra::kHandOverBytes);
}

void BM_Memcpy153600(benchmark::State& state) {
    const std::vector<uint8_t> src = Yuy2Frame(1);
    std::vector<uint8_t> dst(ovistra::kHandOverBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), ovistra::kHandOverBytes);
        benchmark::ClobberMemory();
    }
    PerFrame(state, ovistra::kHandOverBytes);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterVariants("HandOverCopy", HandOverCopy);
    benchmark::RegisterBenchmark("BM_Memcpy153600", BM_Memcpy153600);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
