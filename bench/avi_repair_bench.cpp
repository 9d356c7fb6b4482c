// The repair at start of a recording killed after 2 GiB: three parts as the writer lays them
// out, the last one torn. The file is sparse, pictures and sound never written: the repair
// reads chunk headers (and the first bytes of each picture), so only they need to be there.
// It lies in memory (/dev/shm where there is one): the figure is the repair's own work, the
// disk's reading of the headers comes on top.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "avi_repair.h"

namespace {

void PutId(std::vector<uint8_t>& out, const char* fourcc) {
    out.resize(out.size() + 4);
    std::memcpy(out.data() + out.size() - 4, fourcc, 4);
}

void Put(std::vector<uint8_t>& out, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                              uint8_t(value >> 24)};
    PutId(out, reinterpret_cast<const char*>(bytes));
}

// A chunk of `size` zero bytes, its size filled in.
void Chunk(std::vector<uint8_t>& out, const char* id, uint32_t size) {
    PutId(out, id);
    Put(out, size);
    out.resize(out.size() + size, 0);
}

// The writer's header: a picture stream at 25 per second and a sound stream, each with the
// room kept for the large-file index, then the opening of the first data list.
std::vector<uint8_t> Header() {
    std::vector<uint8_t> h;
    PutId(h, "RIFF");
    Put(h, 0u);
    PutId(h, "AVI ");
    PutId(h, "LIST");
    const size_t hdrl = h.size();
    Put(h, 0u);
    PutId(h, "hdrl");
    Chunk(h, "avih", 56);
    for (const char* kind : {"vids", "auds"}) {
        PutId(h, "LIST");
        Put(h, 4 + (8 + 56) + (8 + 40) + (8 + 536));
        PutId(h, "strl");
        PutId(h, "strh");
        Put(h, 56u);
        PutId(h, kind);
        PutId(h, kind[0] == 'v' ? "FMP4" : "\1\0\0\0");
        for (uint32_t v : {0u, 0u, 0u, 1u, kind[0] == 'v' ? 25u : 8000u, 0u, 0u, 0u, 0u,
                           kind[0] == 'v' ? 0u : 2u, 0u, 0u}) {
            Put(h, v);
        }
        Chunk(h, "strf", 40);
        PutId(h, "JUNK");
        Put(h, 536u);
        Put(h, 4u);
        Put(h, 0u);
        PutId(h, kind[0] == 'v' ? "00db" : "01wb");
        h.resize(h.size() + 536 - 12, 0);
    }
    PutId(h, "LIST");
    Put(h, 16u);
    PutId(h, "odml");
    Chunk(h, "dmlh", 4);
    const uint32_t hdrlSize = static_cast<uint32_t>(h.size() - hdrl - 4);
    for (int i = 0; i < 4; ++i) {
        h[hdrl + i] = uint8_t(hdrlSize >> (8 * i));
    }
    PutId(h, "LIST");
    Put(h, 4u);
    PutId(h, "movi");
    return h;
}

// Writes the killed file: every chunk header at its place, a part closed at each 1 GiB with
// its standard indexes (and, for the first, the index), and the last chunk torn.
bool WriteKilledFile(int fd, uint32_t pictureBytes) {
    constexpr uint32_t kSoundBytes = 1600;  // a tenth of a second
    constexpr uint64_t kPartBytes = uint64_t{1} << 30;
    constexpr uint64_t kTotal = uint64_t{2} << 30;
    if (ftruncate(fd, 0) != 0) {
        return false;
    }
    const std::vector<uint8_t> header = Header();
    bool ok = pwrite(fd, header.data(), header.size(), 0) == ssize_t(header.size());
    uint64_t at = header.size();
    uint64_t partStart = 0;
    uint64_t partChunks = 0;
    for (int i = 0; ok && at < kTotal; ++i) {
        const bool sound = i % 5 == 4;
        const uint32_t size = sound ? kSoundBytes : pictureBytes;
        if (at + 8 + size - partStart > kPartBytes) {
            std::vector<uint8_t> close;
            for (const char* ix : {"ix00", "ix01"}) {
                PutId(close, ix);
                Put(close, 24u);
                close.resize(close.size() + 24, 0);
            }
            if (partStart == 0) {
                PutId(close, "idx1");
                Put(close, static_cast<uint32_t>(partChunks * 16));
            }
            ok = pwrite(fd, close.data(), close.size(), off_t(at)) == ssize_t(close.size());
            at += close.size() + (partStart == 0 ? partChunks * 16 : 0);
            std::vector<uint8_t> open;
            PutId(open, "RIFF");
            Put(open, 12u);
            PutId(open, "AVIX");
            PutId(open, "LIST");
            Put(open, 0u);
            PutId(open, "movi");
            ok = ok && pwrite(fd, open.data(), open.size(), off_t(at)) == ssize_t(open.size());
            partStart = at;
            at += open.size();
            partChunks = 0;
        }
        std::vector<uint8_t> chunk;
        PutId(chunk, sound ? "01wb" : "00db");
        Put(chunk, size);
        ok = ok && pwrite(fd, chunk.data(), chunk.size(), off_t(at)) == 8;
        at += 8 + size;
        ++partChunks;
    }
    // Torn halfway through its last picture.
    return ok && ftruncate(fd, off_t(at - pictureBytes / 2)) == 0 && fdatasync(fd) == 0;
}

void BM_RepairKilledTwoGibFile(benchmark::State& state) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                               : tmp && *tmp                 ? tmp
                                                             : "/tmp";
    std::string path = folder + "/avi_repair_bench_XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!WriteKilledFile(fd, static_cast<uint32_t>(state.range(0)))) {
            state.SkipWithError("the killed file could not be written");
            break;
        }
        state.ResumeTiming();
        const ovistra::AviRepairResult result =
            ovistra::RepairAviFile(QString::fromStdString(path));
        if (result.outcome != ovistra::AviRepairResult::Outcome::Repaired) {
            state.SkipWithError(("not repaired: " + result.why.toStdString()).c_str());
            break;
        }
        seconds = result.seconds;
    }
    close(fd);
    unlink(path.c_str());
    state.counters["recorded_s"] = seconds;
}
// Pictures of 30 kB (a lively scene at 25 per second) and of 4 kB (a still one).
BENCHMARK(BM_RepairKilledTwoGibFile)->Arg(30000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
