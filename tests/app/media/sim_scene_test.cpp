// The simulated device's synthetic scenes: markers, noise, scripted motion, determinism.
#include "sim_scene.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim_device.h"
#include "yuy2_to_rgb24.h"

namespace {

using ovistra::media::kFrameBytes;
using ovistra::media::kFrameHeight;
using ovistra::media::kFrameStride;
using ovistra::media::kFrameWidth;
using ovistra::media::SimDeviceConfig;
using ovistra::media::SimMotionSpan;
using ovistra::media::SimScene;
using ovistra::media::SimulatedDevice;

constexpr int64_t kMs = 1000000;
constexpr int64_t kFrameNs = 40 * kMs;  // PAL

using Frame = std::vector<uint8_t>;

Frame Render(const SimScene& scene, int64_t elapsedNs) {
    Frame frame(kFrameBytes);
    scene.Render(frame.data(), elapsedNs, elapsedNs / kFrameNs, 0);
    return frame;
}

uint8_t LumaAt(const Frame& frame, int x, int y) {
    return frame[size_t(y) * kFrameStride + size_t(x) * 2];
}

// Grey of each pixel as the detection sees it: (77R + 151G + 28B) >> 8 of the station's RGB.
std::vector<uint8_t> Grey(const Frame& frame) {
    std::vector<uint8_t> bgr(size_t{kFrameWidth} * kFrameHeight * 3);
    ovistra::Yuy2ToRgb24(bgr.data(), frame.data(), kFrameWidth / 2, kFrameHeight, 0, 0);
    std::vector<uint8_t> grey(size_t{kFrameWidth} * kFrameHeight);
    for (size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<uint8_t>(
            (77 * bgr[3 * i + 2] + 151 * bgr[3 * i + 1] + 28 * bgr[3 * i]) >> 8);
    }
    return grey;
}

// The object's box, where it is in view: every luma sample differs from the clean scene by more
// than 100.
bool ObjectShownAt(const Frame& frame, const SimScene& scene, int left) {
    const Frame& clean = scene.CleanPicture();
    for (int y = SimScene::kObjectTop; y < SimScene::kObjectTop + SimScene::kObjectHeight; ++y) {
        for (int x = left; x < left + SimScene::kObjectWidth; ++x) {
            if (std::abs(LumaAt(frame, x, y) - LumaAt(clean, x, y)) <= 100) {
                return false;
            }
        }
    }
    return true;
}

// Largest luma difference from the clean scene anywhere in the frame.
int LargestDifferenceFromClean(const Frame& frame, const SimScene& scene) {
    int largest = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        largest = std::max(largest, std::abs(frame[i] - scene.CleanPicture()[i]));
    }
    return largest;
}

TEST(SimScene, EachCameraShowsItsOwnMarker) {
    for (int camera = 1; camera <= 4; ++camera) {
        const SimScene scene(camera, 2820, {});
        for (int64_t frame = 0; frame < SimScene::kVariants; ++frame) {
            EXPECT_EQ(SimulatedDevice::CameraShownIn(Render(scene, frame * kFrameNs).data()),
                      camera)
                << "camera " << camera << " frame " << frame;
        }
    }
}

TEST(SimScene, NoMarkerInAPlainPicture) {
    Frame grey(kFrameBytes);
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        grey[i] = 120;
        grey[i + 1] = 128;
    }
    EXPECT_EQ(SimulatedDevice::CameraShownIn(grey.data()), 0);
    EXPECT_EQ(SimulatedDevice::CameraShownIn(nullptr), 0);
}

TEST(SimScene, TheSameSeedGivesTheSamePicturesAndAnotherSeedOthers) {
    const SimScene first(2, 7, {});
    const SimScene again(2, 7, {});
    const SimScene other(2, 8, {});
    for (int64_t frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(Render(first, frame * kFrameNs), Render(again, frame * kFrameNs));
    }
    EXPECT_NE(first.CleanPicture(), other.CleanPicture());
}

TEST(SimScene, CamerasDifferFromEachOther) {
    std::vector<Frame> cleans;
    for (int camera = 1; camera <= 4; ++camera) {
        cleans.push_back(SimScene(camera, 2820, {}).CleanPicture());
    }
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            EXPECT_NE(cleans[a], cleans[b]) << a + 1 << " and " << b + 1;
        }
    }
}

TEST(SimScene, SensorNoiseStaysFarBelowTheDetectionThreshold) {
    for (int camera = 1; camera <= 4; ++camera) {
        const SimScene scene(camera, 2820, {});
        std::vector<uint8_t> previous = Grey(Render(scene, 0));
        int largest = 0;
        bool changes = false;
        for (int64_t frame = 1; frame < 50; ++frame) {
            const std::vector<uint8_t> grey = Grey(Render(scene, frame * kFrameNs));
            for (size_t i = 0; i < grey.size(); ++i) {
                largest = std::max(largest, std::abs(grey[i] - previous[i]));
            }
            changes = changes || grey != previous;
            previous = grey;
        }
        EXPECT_LT(largest, 20) << "camera " << camera;
        EXPECT_TRUE(changes) << "camera " << camera << ": no noise at all";
    }
}

TEST(SimScene, NoiseIsLumaOnly) {
    const SimScene scene(3, 2820, {});
    const Frame frame = Render(scene, 5 * kFrameNs);
    for (size_t i = 1; i < kFrameBytes; i += 2) {
        ASSERT_EQ(frame[i], scene.CleanPicture()[i]) << "byte " << i;
    }
}

TEST(SimScene, AScriptedObjectCrossesTheSceneInItsSpanOnly) {
    const SimScene scene(2, 2820, {{2, 3.0, 5.0}, {1, 0.0, 10.0}});
    struct Case {
        double seconds;
        bool inView;
    };
    const Case cases[] = {
        {0.0, false}, {2.96, false}, {3.0, true},  {3.5, true},
        {4.0, true},  {4.96, true},  {5.0, false}, {6.0, false},
    };
    for (const Case& c : cases) {
        const auto elapsedNs = static_cast<int64_t>(c.seconds * 1e9);
        const Frame frame = Render(scene, elapsedNs);
        const std::vector<int> lefts = scene.ObjectsAt(elapsedNs);
        ASSERT_EQ(lefts.size(), c.inView ? 1u : 0u) << c.seconds << " s";
        if (c.inView) {
            EXPECT_TRUE(ObjectShownAt(frame, scene, lefts[0])) << c.seconds << " s";
        } else {
            // Nothing but sensor noise anywhere.
            EXPECT_LE(LargestDifferenceFromClean(frame, scene), SimScene::kNoiseAmplitude)
                << c.seconds << " s";
        }
    }
    // It moves across: left edge at the start, further right in the middle, near the right
    // edge at the end.
    const int start = scene.ObjectsAt(3000 * kMs)[0];
    const int middle = scene.ObjectsAt(4000 * kMs)[0];
    const int late = scene.ObjectsAt(4960 * kMs)[0];
    EXPECT_EQ(start, 0);
    EXPECT_GT(middle, start + 200);
    EXPECT_GT(late, middle + 200);
    EXPECT_LE(late + SimScene::kObjectWidth, kFrameWidth);
}

TEST(SimScene, SpansOfOtherCamerasOrEmptySpansShowNothing) {
    const SimScene scene(3, 2820, {{2, 0.0, 10.0}, {3, 4.0, 4.0}, {3, 6.0, 5.0}});
    for (const int64_t ms : {0, 4000, 5500, 9000}) {
        EXPECT_TRUE(scene.ObjectsAt(ms * kMs).empty()) << ms;
        EXPECT_LE(LargestDifferenceFromClean(Render(scene, ms * kMs), scene),
                  SimScene::kNoiseAmplitude);
    }
}

TEST(SimScene, AnObjectKeepsTheMarkerReadable) {
    const SimScene scene(4, 2820, {{4, 0.0, 1.0}});
    for (const int64_t ms : {0, 250, 500, 990}) {
        EXPECT_EQ(SimulatedDevice::CameraShownIn(Render(scene, ms * kMs).data()), 4) << ms;
    }
}

// Mean luma of a picture.
double MeanLuma(const Frame& frame) {
    double sum = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        sum += frame[i];
    }
    return sum / (kFrameBytes / 2);
}

TEST(SimScene, ALampBrightensTheWholePictureInItsSpanOnly) {
    const SimScene scene(1, 2820, {}, {{1, 2.0, 4.0}, {2, 0.0, 9.0}});
    const double dark = MeanLuma(Render(scene, 1000 * kMs));
    for (const int64_t ms : {2000, 3000, 3960}) {
        const Frame lit = Render(scene, ms * kMs);
        EXPECT_GT(MeanLuma(lit), dark + 30) << ms;
        EXPECT_EQ(SimulatedDevice::CameraShownIn(lit.data()), 1) << ms;
    }
    EXPECT_LE(LargestDifferenceFromClean(Render(scene, 4000 * kMs), scene),
              SimScene::kNoiseAmplitude);
}

TEST(SimScene, ANightIsDarkAndNoisyAndKeepsItsMarkerReadable) {
    const SimScene night(2, 2820, {}, {}, true);
    const SimScene day(2, 2820, {});
    const Frame first = Render(night, 0);
    const Frame second = Render(night, kFrameNs);
    int largest = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        largest = std::max(largest, std::abs(first[i] - second[i]));
    }
    EXPECT_GT(largest, 3 * SimScene::kNoiseAmplitude);
    EXPECT_LT(MeanLuma(first), MeanLuma(Render(day, 0)) / 2);
    EXPECT_EQ(SimulatedDevice::CameraShownIn(first.data()), 2);
}

TEST(SimScene, ARolledPictureIsTheSceneMovedUp) {
    const SimScene scene(1, 2820, {});
    Frame rolled(kFrameBytes);
    scene.Render(rolled.data(), 0, 0, 100);
    const Frame straight = Render(scene, 0);
    EXPECT_EQ(0, std::memcmp(rolled.data(), straight.data() + 100 * kFrameStride,
                             (kFrameHeight - 100) * kFrameStride));
    EXPECT_EQ(0, std::memcmp(rolled.data() + (kFrameHeight - 100) * kFrameStride, straight.data(),
                             100 * kFrameStride));
}

}  // namespace
