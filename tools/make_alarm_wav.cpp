// Writes the station's alarm sound: two seconds of a two-tone signal (880 Hz and 660 Hz
// alternating every 250 ms), mono 16-bit PCM at 22050 Hz, as a canonical RIFF/WAVE file.
//
//   make_alarm_wav OUTPUT.wav
//
// The file is generated at build time so the repository carries no binary sound.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSampleRateHz = 22050;
constexpr uint16_t kChannels = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr double kHighToneHz = 880.0;
constexpr double kLowToneHz = 660.0;
constexpr double kToneSeconds = 0.25;
constexpr int kToneCount = 8;  // 2 s in all
// Half of full scale: clearly audible, far from clipping.
constexpr double kAmplitude = 0.5 * 32767.0;
// Each tone fades in and out over a few milliseconds, so neither the pitch changes nor the
// ends of the file (the sound may be looped) click.
constexpr double kFadeSeconds = 0.008;

std::vector<int16_t> MakeSamples() {
    const int toneSamples = static_cast<int>(std::lround(kToneSeconds * kSampleRateHz));
    const int fadeSamples = static_cast<int>(std::lround(kFadeSeconds * kSampleRateHz));
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(toneSamples) * kToneCount);
    // The phase runs on across the pitch changes; only the envelope dips.
    double phase = 0.0;
    for (int tone = 0; tone < kToneCount; ++tone) {
        const double hz = (tone % 2 == 0) ? kHighToneHz : kLowToneHz;
        const double step = 2.0 * std::numbers::pi * hz / kSampleRateHz;
        for (int i = 0; i < toneSamples; ++i) {
            const int edge = std::min(i, toneSamples - 1 - i);
            double gain = 1.0;
            if (edge < fadeSamples) {
                gain = 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fadeSamples);
            }
            samples.push_back(
                static_cast<int16_t>(std::lround(kAmplitude * gain * std::sin(phase))));
            phase = std::fmod(phase + step, 2.0 * std::numbers::pi);
        }
    }
    return samples;
}

void PutU16(std::vector<unsigned char>& out, uint16_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xff));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void PutU32(std::vector<unsigned char>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>((v >> shift) & 0xff));
    }
}

void PutTag(std::vector<unsigned char>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

// The 44-byte canonical header (RIFF, fmt chunk of 16 bytes, data chunk) and the samples,
// all little-endian whatever the host.
std::vector<unsigned char> MakeWave(const std::vector<int16_t>& samples) {
    const uint16_t blockAlignBytes = kChannels * kBitsPerSample / 8;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * blockAlignBytes;
    std::vector<unsigned char> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutU32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, kChannels);
    PutU32(out, kSampleRateHz);
    PutU32(out, kSampleRateHz * blockAlignBytes);
    PutU16(out, blockAlignBytes);
    PutU16(out, kBitsPerSample);
    PutTag(out, "data");
    PutU32(out, dataBytes);
    for (int16_t s : samples) {
        PutU16(out, static_cast<uint16_t>(s));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: make_alarm_wav OUTPUT.wav\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::vector<unsigned char> wave = MakeWave(MakeSamples());

    // Written beside the target and renamed, so an interrupted build never leaves a truncated
    // sound that looks up to date.
    const std::string partial = path + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_alarm_wav: cannot create %s: %s\n", partial.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(wave.data(), 1, wave.size(), f) == wave.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "make_alarm_wav: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::remove(partial.c_str());
        return 1;
    }
    return 0;
}
