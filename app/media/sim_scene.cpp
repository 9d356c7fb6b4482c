#include "sim_scene.h"

#include <algorithm>
#include <cstring>

namespace ovistra::media {
namespace {

constexpr int kGroups = kFrameWidth / 2;
constexpr int kHorizon = 240;  // sky above, ground below

// splitmix64: small, fast, and the same numbers on every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive.
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
    }

private:
    uint64_t state_;
};

// The scene drawn as planes: luma per pixel, chroma per pair of pixels.
struct Canvas {
    std::vector<uint8_t> y = std::vector<uint8_t>(size_t{kFrameWidth} * kFrameHeight);
    std::vector<uint8_t> u = std::vector<uint8_t>(size_t{kGroups} * kFrameHeight, 128);
    std::vector<uint8_t> v = std::vector<uint8_t>(size_t{kGroups} * kFrameHeight, 128);

    void Put(int x, int line, uint8_t luma, uint8_t cu, uint8_t cv) {
        if (x < 0 || x >= kFrameWidth || line < 0 || line >= kFrameHeight) {
            return;
        }
        y[size_t(line) * kFrameWidth + x] = luma;
        u[size_t(line) * kGroups + x / 2] = cu;
        v[size_t(line) * kGroups + x / 2] = cv;
    }

    void FillRect(int left, int top, int width, int height, uint8_t luma, uint8_t cu, uint8_t cv) {
        for (int line = top; line < top + height; ++line) {
            for (int x = left; x < left + width; ++x) {
                Put(x, line, luma, cu, cv);
            }
        }
    }

    void FillDisc(int cx, int cy, int radius, uint8_t luma, uint8_t cu, uint8_t cv) {
        for (int line = cy - radius; line <= cy + radius; ++line) {
            for (int x = cx - radius; x <= cx + radius; ++x) {
                if ((x - cx) * (x - cx) + (line - cy) * (line - cy) <= radius * radius) {
                    Put(x, line, luma, cu, cv);
                }
            }
        }
    }

    std::vector<uint8_t> Packed() const {
        std::vector<uint8_t> frame(kFrameBytes);
        for (int line = 0; line < kFrameHeight; ++line) {
            const uint8_t* ys = &y[size_t(line) * kFrameWidth];
            const uint8_t* us = &u[size_t(line) * kGroups];
            const uint8_t* vs = &v[size_t(line) * kGroups];
            uint8_t* out = &frame[size_t(line) * kFrameStride];
            for (int g = 0; g < kGroups; ++g) {
                out[4 * g] = ys[2 * g];
                out[4 * g + 1] = us[g];
                out[4 * g + 2] = ys[2 * g + 1];
                out[4 * g + 3] = vs[g];
            }
        }
        return frame;
    }
};

// 5x7 digits 1..4, one string per line, '#' lit.
constexpr const char* kDigits[4][7] = {
    {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
    {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
    {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."},
    {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
};
constexpr int kDigitScale = 24;
constexpr int kDigitLeft = 470;
constexpr int kDigitTop = 24;

void DrawDigit(Canvas& canvas, int camera, int left, int top, uint8_t luma) {
    const auto& rows = kDigits[camera - 1];
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 5; ++c) {
            if (rows[r][c] == '#') {
                canvas.FillRect(left + c * kDigitScale, top + r * kDigitScale, kDigitScale,
                                kDigitScale, luma, 128, 128);
            }
        }
    }
}

Canvas DrawScene(int camera, Random& random) {
    Canvas canvas;
    // Sky: a gentle gradient, slightly blue; ground: darker, slightly green.
    for (int line = 0; line < kFrameHeight; ++line) {
        const bool sky = line < kHorizon;
        const auto luma = static_cast<uint8_t>(sky ? 150 - line * 30 / kHorizon
                                                   : 90 - (line - kHorizon) * 30 / kHorizon);
        std::memset(&canvas.y[size_t(line) * kFrameWidth], luma, kFrameWidth);
        std::memset(&canvas.u[size_t(line) * kGroups], sky ? 136 : 122, kGroups);
        std::memset(&canvas.v[size_t(line) * kGroups], sky ? 124 : 120, kGroups);
    }
    // A cloud or two.
    for (int i = random.Between(1, 2); i > 0; --i) {
        const int cx = random.Between(120, 400);
        const int cy = random.Between(40, 110);
        const auto luma = static_cast<uint8_t>(random.Between(168, 182));
        for (int k = -2; k <= 2; ++k) {
            canvas.FillDisc(cx + k * 18, cy + (k % 2) * 6, 22 - 3 * std::abs(k), luma, 130, 127);
        }
    }
    // Buildings on the horizon.
    for (int i = random.Between(3, 5); i > 0; --i) {
        const int width = random.Between(40, 100);
        const int height = random.Between(40, 150);
        const int left = random.Between(96, 440);
        const auto luma = static_cast<uint8_t>(random.Between(92, 114));
        const auto tint = static_cast<uint8_t>(random.Between(122, 134));
        canvas.FillRect(left, kHorizon - height, width, height, luma, tint, 128);
        // Windows: a darker grid.
        for (int wy = kHorizon - height + 8; wy + 10 < kHorizon; wy += 20) {
            for (int wx = left + 6; wx + 10 < left + width; wx += 18) {
                canvas.FillRect(wx, wy, 8, 10, static_cast<uint8_t>(luma - 30), tint, 128);
            }
        }
    }
    // Bushes on the ground, and a road at the bottom.
    for (int i = random.Between(3, 6); i > 0; --i) {
        canvas.FillDisc(random.Between(20, 620), random.Between(250, 300), random.Between(18, 40),
                        static_cast<uint8_t>(random.Between(40, 70)), 112, 114);
    }
    canvas.FillRect(0, 448, kFrameWidth, 32, 55, 128, 128);
    // The camera number, large, with a shadow.
    DrawDigit(canvas, camera, kDigitLeft + 6, kDigitTop + 6, 40);
    DrawDigit(canvas, camera, kDigitLeft, kDigitTop, 225);
    // The marker, framed in black.
    const SimMarkerColour colour = kSimMarkerColours[camera - 1];
    canvas.FillRect(kSimMarkerLeft - 4, kSimMarkerTop - 4, kSimMarkerWidth + 8,
                    kSimMarkerHeight + 8, 16, 128, 128);
    canvas.FillRect(kSimMarkerLeft, kSimMarkerTop, kSimMarkerWidth, kSimMarkerHeight, colour.y,
                    colour.u, colour.v);
    return canvas;
}

constexpr int kBlack = 16;

// Night: luma above black scaled down, all but the marker and its frame, which stay lit.
void Darken(Canvas& canvas) {
    for (int line = 0; line < kFrameHeight; ++line) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const bool marker = x >= kSimMarkerLeft - 4 &&
                                x < kSimMarkerLeft + kSimMarkerWidth + 4 &&
                                line >= kSimMarkerTop - 4 &&
                                line < kSimMarkerTop + kSimMarkerHeight + 4;
            uint8_t& luma = canvas.y[size_t(line) * kFrameWidth + x];
            if (!marker) {
                luma = static_cast<uint8_t>(kBlack + std::max(0, luma - kBlack) *
                                                         SimScene::kNightPercent / 100);
            }
        }
    }
}

// Copies `picture` into `frame`, rolled up by `rowShift` lines.
void CopyRolled(uint8_t* frame, const uint8_t* picture, int rowShift) {
    if (rowShift == 0) {
        std::memcpy(frame, picture, kFrameBytes);
        return;
    }
    const size_t headBytes = size_t(kFrameHeight - rowShift) * kFrameStride;
    std::memcpy(frame, picture + size_t(rowShift) * kFrameStride, headBytes);
    std::memcpy(frame + headBytes, picture, size_t(rowShift) * kFrameStride);
}

// `out` = `clean` with noise(bits) added to each luma sample; 8 fresh random bits for each.
template <typename Noise>
void AddNoise(uint8_t* out, const uint8_t* clean, Random& random, Noise noise) {
    uint64_t bits = 0;
    int samplesLeft = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        if (samplesLeft == 0) {
            bits = random.Next();
            samplesLeft = 8;
        }
        out[i] = static_cast<uint8_t>(std::clamp(clean[i] + noise(bits), 0, 255));
        out[i + 1] = clean[i + 1];
        bits >>= 8;
        --samplesLeft;
    }
}

}  // namespace

SimScene::SimScene(int camera, uint32_t seed, const std::vector<SimMotionSpan>& motions,
                   const std::vector<SimLightSpan>& lights, bool night)
    : camera_(std::clamp(camera, 1, 4)) {
    for (const SimMotionSpan& span : motions) {
        if (span.camera == camera_ && span.endSeconds > span.startSeconds) {
            motions_.push_back(span);
        }
    }
    for (const SimLightSpan& span : lights) {
        if (span.camera == camera_ && span.endSeconds > span.startSeconds) {
            lights_.push_back(span);
        }
    }
    for (int luma = 0; luma < 256; ++luma) {
        lampLuma_[size_t(luma)] = static_cast<uint8_t>(
            std::clamp(kBlack + (luma - kBlack) * kLampPercent / 100, 0, 255));
    }
    Random random(uint64_t{seed} * 8 + static_cast<uint64_t>(camera_));
    Canvas canvas = DrawScene(camera_, random);
    if (night) {
        Darken(canvas);
    }
    clean_ = canvas.Packed();

    variants_.resize(kFrameBytes * kVariants);
    for (int k = 0; k < kVariants; ++k) {
        uint8_t* variant = &variants_[kFrameBytes * size_t(k)];
        if (night) {
            AddNoise(variant, clean_.data(), random, [](uint64_t bits) {
                return 2 * (int(bits & 15) + int((bits >> 4) & 15)) - kNightNoiseAmplitude;
            });
            continue;
        }
        // Sensor noise -3..3, triangular (two draws of 0..3), four bits of a random word each.
        AddNoise(variant, clean_.data(), random, [](uint64_t bits) {
            return int(bits & 3) + int((bits >> 2) & 3) - kNoiseAmplitude;
        });
    }
    // Heavy noise, -64..63 evenly.
    unsettled_.resize(kFrameBytes * kUnsettledVariants);
    for (int k = 0; k < kUnsettledVariants; ++k) {
        AddNoise(&unsettled_[kFrameBytes * size_t(k)], clean_.data(), random,
                 [](uint64_t bits) { return int(bits & 127) - kUnsettledNoiseAmplitude; });
    }
}

bool SimScene::LitAt(int64_t elapsedNs) const {
    const double seconds = static_cast<double>(elapsedNs) / 1e9;
    return std::any_of(lights_.begin(), lights_.end(), [seconds](const SimLightSpan& span) {
        return seconds >= span.startSeconds && seconds < span.endSeconds;
    });
}

std::vector<int> SimScene::ObjectsAt(int64_t elapsedNs) const {
    std::vector<int> lefts;
    const double seconds = static_cast<double>(elapsedNs) / 1e9;
    for (const SimMotionSpan& span : motions_) {
        if (seconds < span.startSeconds || seconds >= span.endSeconds) {
            continue;
        }
        const double progress =
            (seconds - span.startSeconds) / (span.endSeconds - span.startSeconds);
        const int left = static_cast<int>(progress * (kFrameWidth - kObjectWidth)) & ~1;
        lefts.push_back(std::clamp(left, 0, kFrameWidth - kObjectWidth));
    }
    return lefts;
}

void SimScene::Render(uint8_t* frame, int64_t elapsedNs, int64_t frameIndex, int rowShift,
                      bool unsettled) const {
    rowShift = std::clamp(rowShift, 0, kFrameHeight - 1);
    const int count = unsettled ? kUnsettledVariants : kVariants;
    const auto variant = static_cast<size_t>(((frameIndex % count) + count) % count);
    CopyRolled(frame, &(unsettled ? unsettled_ : variants_)[kFrameBytes * variant], rowShift);
    if (LitAt(elapsedNs)) {
        for (size_t i = 0; i < kFrameBytes; i += 2) {
            frame[i] = lampLuma_[frame[i]];
        }
    }
    if (motions_.empty()) {
        return;
    }
    // A bright, slightly warm rectangle: luma kObjectLuma, U 118, V 146.
    for (const int left : ObjectsAt(elapsedNs)) {
        for (int line = kObjectTop; line < kObjectTop + kObjectHeight; ++line) {
            const int outLine = (line - rowShift + kFrameHeight) % kFrameHeight;
            uint8_t* p = frame + size_t(outLine) * kFrameStride + size_t(left) * 2;
            for (int g = 0; g < kObjectWidth / 2; ++g, p += 4) {
                p[0] = kObjectLuma;
                p[1] = 118;
                p[2] = kObjectLuma;
                p[3] = 146;
            }
        }
    }
}

}  // namespace ovistra::media
