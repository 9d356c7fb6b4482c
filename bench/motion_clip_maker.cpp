// Writes one labelled scene for the alarm-counting script as raw 640x480 I420 pictures at 25 per
// second on standard output, for GStreamer to encode (bench/motion-clips.sh):
//
//   motion_clip_maker KIND SECONDS | gst-launch-1.0 fdsrc ! rawvideoparse ... ! jpegenc ! ...
//
// KIND is one of
//   crossing   a person in dark clothes walks along a lit wall, across the picture (must alarm)
//   light      a still scene whose light goes off and on every 4 s (must not)
//   dark-noise a dark still scene with strong sensor noise (must not)
//   car-right  a car drives to and fro in the right half only (must not, zone on the left half)
//   foliage    a tree on the right sways in the wind all the time (must not, zone on the left half)
// Every scene ends as it begins, so a player that loops it shows no jump. Deterministic.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFps = 25;
constexpr double kPi = 3.14159265358979323846;

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Roughly normal, mean 0, standard deviation about 1: the sum of four uniform values.
double Noise(uint32_t seed) {
    double sum = 0;
    for (uint32_t k = 0; k < 4; ++k) {
        sum += (Hash(seed * 4 + k) & 0xFFFF) / 65535.0;
    }
    return (sum - 2.0) * 1.732;
}

struct Picture {
    std::vector<double> y = std::vector<double>(size_t(kWidth) * kHeight);
    double& at(int x, int row) { return y[size_t(row) * kWidth + x]; }
};

// Sky, three buildings with windows, grass with a fixed texture, a road.
Picture StillScene() {
    Picture p;
    for (int row = 0; row < kHeight; ++row) {
        for (int x = 0; x < kWidth; ++x) {
            double v;
            if (row < 200) {
                v = 175 - row * 0.1;
            } else if (row >= 400 && row < 440) {
                v = 70;
            } else {
                v = 95 + ((Hash(uint32_t(row * kWidth + x)) & 15) - 8);
            }
            p.at(x, row) = v;
        }
    }
    const int buildings[3][4] = {{60, 90, 70, 110}, {170, 60, 60, 140}, {420, 110, 90, 90}};
    for (const auto& b : buildings) {
        for (int row = b[1]; row < b[1] + b[3]; ++row) {
            for (int x = b[0]; x < b[0] + b[2]; ++x) {
                const bool window = ((x - b[0]) % 14 > 8) && ((row - b[1]) % 18 > 10);
                p.at(x, row) = window ? 140 : 100;
            }
        }
    }
    return p;
}

void FillRect(Picture& p, double left, double top, double w, double h, double value) {
    for (int row = std::max(0, int(top)); row < std::min(kHeight, int(top + h)); ++row) {
        for (int x = std::max(0, int(left)); x < std::min(kWidth, int(left + w)); ++x) {
            p.at(x, row) = value;
        }
    }
}

void FillDisc(Picture& p, double cx, double cy, double r, double value) {
    for (int row = std::max(0, int(cy - r)); row <= std::min(kHeight - 1, int(cy + r)); ++row) {
        for (int x = std::max(0, int(cx - r)); x <= std::min(kWidth - 1, int(cx + r)); ++x) {
            if ((x - cx) * (x - cx) + (row - cy) * (row - cy) <= r * r) {
                p.at(x, row) = value;
            }
        }
    }
}

struct Scene {
    std::string kind;
    double seconds;
    Picture still = StillScene();

    // Luma of picture `frame`, before sensor noise; `noise` is its standard deviation.
    Picture Render(int frame, double* noise) const {
        const double t = double(frame) / kFps;
        Picture p = still;
        *noise = 1.5;
        if (kind == "crossing") {
            // A person in dark clothes walks along a floodlit wall, from off the left edge to off
            // the right edge between 5 s and 11 s: contrast the least sensitive level sees.
            FillRect(p, 0, 200, kWidth, 230, 235);
            if (t >= 5 && t < 11) {
                const double x = -60 + (t - 5) / 6 * 760;
                FillRect(p, x, 250, 46, 130, 22);     // body
                FillDisc(p, x + 23, 232, 17, 60);     // head
                FillRect(p, x + 4, 380, 14, 40, 18);  // legs
                FillRect(p, x + 28, 380, 14, 40, 18);
            }
        } else if (kind == "light") {
            // On for 4 s, off for 4 s, ..., on again at the end; a lamp lights a pool on the grass.
            const bool on = int(t / 4) % 2 == 0;
            for (int row = 0; row < kHeight; ++row) {
                for (int x = 0; x < kWidth; ++x) {
                    double v = p.at(x, row) * (on ? 1.0 : 0.4);
                    const double dx = (x - 300) / 220.0, dy = (row - 330) / 110.0;
                    if (on && dx * dx + dy * dy < 1) {
                        v += 45 * (1 - (dx * dx + dy * dy));
                    }
                    p.at(x, row) = v;
                }
            }
        } else if (kind == "dark-noise") {
            for (double& v : p.y) {
                v = 12 + v * 0.12;
            }
            *noise = 9;
        } else if (kind == "car-right") {
            // Parked at the left end of its way, drives right and back from 3 s to 17 s.
            double phase = 0;
            if (t >= 3 && t < 17) {
                phase = 0.5 - 0.5 * std::cos((t - 3) / 7 * kPi);
                if (t >= 10) {
                    phase = 0.5 - 0.5 * std::cos((17 - t) / 7 * kPi);
                }
            }
            const double x = 360 + phase * 160;
            FillRect(p, x, 340, 110, 45, 200);
            FillRect(p, x + 20, 315, 65, 28, 150);
            FillDisc(p, x + 22, 388, 10, 25);
            FillDisc(p, x + 88, 388, 10, 25);
        } else if (kind == "foliage") {
            // A trunk and 60 leaf clusters, each swaying on its own period, all whole periods of
            // the clip so it loops without a jump.
            FillRect(p, 505, 250, 22, 150, 60);
            for (uint32_t leaf = 0; leaf < 60; ++leaf) {
                const double cx = 430 + (Hash(leaf * 3 + 1) % 170);
                const double cy = 150 + (Hash(leaf * 3 + 2) % 130);
                const double periods = 4 + Hash(leaf * 3 + 3) % 8;  // over the whole clip
                const double swing = 6 + leaf % 9;
                const double phase = (Hash(leaf) % 628) / 100.0;
                const double dx = swing * std::sin(2 * kPi * periods * t / seconds + phase);
                FillDisc(p, cx + dx, cy + dx * 0.3, 14 + leaf % 6, 45 + leaf % 5 * 8);
            }
        }
        return p;
    }
};

bool KnownKind(const std::string& kind) {
    for (const char* known : {"crossing", "light", "dark-noise", "car-right", "foliage"}) {
        if (kind == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !KnownKind(argv[1]) || std::atof(argv[2]) < 1) {
        std::fprintf(stderr,
                     "usage: motion_clip_maker crossing|light|dark-noise|car-right|foliage "
                     "SECONDS\n");
        return 2;
    }
    Scene scene{argv[1], std::atof(argv[2])};
    const int frames = int(scene.seconds * kFps);
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 3 / 2);
    for (int frame = 0; frame < frames; ++frame) {
        double noise = 0;
        const Picture p = scene.Render(frame, &noise);
        for (size_t i = 0; i < p.y.size(); ++i) {
            const double v = p.y[i] + noise * Noise(uint32_t(frame) * 0x9E3779B9U + uint32_t(i));
            out[i] = uint8_t(std::lround(std::min(255.0, std::max(0.0, v))));
        }
        // A faint colour: blue sky, green ground.
        uint8_t* u = out.data() + p.y.size();
        uint8_t* v = u + p.y.size() / 4;
        for (int row = 0; row < kHeight / 2; ++row) {
            const bool sky = row * 2 < 200;
            std::memset(u + size_t(row) * kWidth / 2, sky ? 140 : 115, kWidth / 2);
            std::memset(v + size_t(row) * kWidth / 2, sky ? 120 : 118, kWidth / 2);
        }
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
            return 1;  // the encoder went away
        }
    }
    return 0;
}
