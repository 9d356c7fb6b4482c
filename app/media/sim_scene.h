// One analog input of the simulated device: a synthetic 640x480 YUY2 scene, deterministic from a
// seed. A calm background (sky, buildings, ground, bushes), the camera number drawn large, and a
// marker block of the camera's own colour at a fixed place (SimulatedDevice::CameraShownIn reads
// it back). Sensor noise is luma only and small; a scripted motion span shows a bright rectangle
// crossing the lower half of the scene; a scripted light span brightens the whole picture at
// once. At night the scene is dark (the marker stays lit) and its sensor noise strong. The
// picture is a function of elapsed time only.
//
// Cost: the noisy variants of the static scene, settled and unsettled, are made once; a picture
// is one copy of a variant plus the moving object, if any.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim_device.h"

namespace ovistra::media {

// The marker: a block of the camera's colour (camera 1 red, 2 green, 3 blue, 4 yellow).
struct SimMarkerColour {
    uint8_t y;
    uint8_t u;
    uint8_t v;
};
inline constexpr int kSimMarkerLeft = 16;
inline constexpr int kSimMarkerTop = 16;
inline constexpr int kSimMarkerWidth = 64;
inline constexpr int kSimMarkerHeight = 48;
inline constexpr std::array<SimMarkerColour, 4> kSimMarkerColours = {{
    {81, 90, 240},   // red
    {145, 54, 34},   // green
    {41, 240, 110},  // blue
    {210, 16, 146},  // yellow
}};

class SimScene {
public:
    // Noisy copies of the static scene; consecutive pictures use different ones.
    static constexpr int kVariants = 4;
    // Sensor noise: each luma sample is the clean scene's plus -3..3.
    static constexpr int kNoiseAmplitude = 3;
    // Copies with the heavy noise of a decoder that has not settled on its input yet.
    static constexpr int kUnsettledVariants = 2;
    static constexpr int kUnsettledNoiseAmplitude = 64;  // -64..63
    // Night: the scene's luma above black scaled to this share, with noise of -30..30
    // (two draws of 0..15, doubled: a standard deviation near 13).
    static constexpr int kNightPercent = 30;
    static constexpr int kNightNoiseAmplitude = 30;
    // A lamp lights luma above black by this share.
    static constexpr int kLampPercent = 170;

    // The moving object: a bright rectangle over the dark ground, left to right.
    static constexpr int kObjectWidth = 80;
    static constexpr int kObjectHeight = 140;
    static constexpr int kObjectTop = 300;
    static constexpr uint8_t kObjectLuma = 235;
    // The ground under the object's path is never brighter than this.
    static constexpr uint8_t kGroundMaxLuma = 100;

    // `camera` 1..4; spans of other cameras, or with end <= start, are ignored.
    SimScene(int camera, uint32_t seed, const std::vector<SimMotionSpan>& motions,
             const std::vector<SimLightSpan>& lights = {}, bool night = false);

    int camera() const { return camera_; }

    // Writes the picture at `elapsedNs` after capture start (frame `frameIndex` of the stream)
    // into `frame` (kFrameBytes), rolled up by `rowShift` lines (0..479; line y of the output is
    // line y + rowShift of the scene, wrapping), with heavy noise when `unsettled`.
    // Thread-safe (reads only).
    void Render(uint8_t* frame, int64_t elapsedNs, int64_t frameIndex, int rowShift,
                bool unsettled = false) const;

    // The left edge of each object in view at `elapsedNs` (kObjectTop is its top); empty when
    // none is.
    std::vector<int> ObjectsAt(int64_t elapsedNs) const;

    // Whether the lamp is on at `elapsedNs`.
    bool LitAt(int64_t elapsedNs) const;

    // The scene without noise, objects or lamp (kFrameBytes).
    const std::vector<uint8_t>& CleanPicture() const { return clean_; }

private:
    int camera_;
    std::vector<SimMotionSpan> motions_;  // this camera's spans only
    std::vector<SimLightSpan> lights_;    // this camera's spans only
    std::array<uint8_t, 256> lampLuma_{};
    std::vector<uint8_t> clean_;
    std::vector<uint8_t> variants_;   // kVariants pictures, one after the other
    std::vector<uint8_t> unsettled_;  // kUnsettledVariants pictures
};

}  // namespace ovistra::media
