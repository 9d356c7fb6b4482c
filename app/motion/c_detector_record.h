// One camera's motion detector: each tick its latest frame becomes a grey plane, compared with
// the previous tick's through the motion analysis library, which the record loads at run time
// from the station's own folders, one region per detection zone. Without the library, or
// without its detector entry, frames are still converted and the alarm never rises.
//
// Beside the library the record takes a coarse look at every tick (one sample per 4x4 block):
// it keeps the tick's picture for the settings dialog, measures the picture's noise for the
// threshold that follows it, and tells light changes from motion.
#pragma once

#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

#include "light_change.h"
#include "noise_level.h"
#include "tick_picture.h"
#include "vigimot.h"

namespace ovistra {

class CDetectorRecord {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr const char* kLibraryName = "libvigimot.so";
    static constexpr const char* kEntryName = "ORBALIN_Detect_Motion_Multiple";

    enum class Availability { Ready, NoLibrary, NoEntry };

    // Loads the library found among the station's run-time folders, or `libraryPath` when
    // one is given (tests point it elsewhere).
    explicit CDetectorRecord(const QString& libraryPath = QString());
    ~CDetectorRecord();
    CDetectorRecord(const CDetectorRecord&) = delete;
    CDetectorRecord& operator=(const CDetectorRecord&) = delete;

    Availability availability() const;

    void SetFrameRect(int left, int top, int right, int bottom);
    void SetDiffThreshold(int16_t threshold);  // from the next frame on
    // The threshold follows the picture's measured noise instead of the fixed one.
    void SetThresholdFollowsNoise(bool follows);
    // Zones in picture coordinates, clipped to the picture; none = the whole picture. Zones
    // under 2x2 pixels are left out.
    void SetZones(const std::vector<QRect>& zones);
    // A tick found to be a light change raises no alarm.
    void SetLightChangeReject(bool reject);

    // One 640x480 YUY2 frame, lines top to bottom, 1280 bytes each. Nothing is allocated
    // after the first two frames.
    void ProcessFrame(const uint8_t* frame);

    // 1 when the last comparison raised the alarm, else 0.
    void QueryAlarm(uint32_t* out) const;
    // The last comparison was a light change (whether or not it was let alarm).
    bool LightChanged() const { return lightChange_; }
    const TickPicture& LastTick() const { return tick_; }
    // The grey threshold of the last comparison.
    int threshold() const { return tick_.threshold; }

private:
    using DetectEntry = int32_t (*)(const ImageBuf*, const ImageBuf*, int32_t,
                                    const MotionRegion*, uint8_t*, Point16*, Rect16*, uint8_t*);

    bool nextSlotB_ = false;
    std::vector<uint8_t> slots_[2];  // grey planes, row 0 the top line
    ImageBuf images_[2] = {};
    bool areaEnabled_ = false;
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
    uint8_t alarm_ = 0;
    int16_t diffThreshold_ = 50;
    int16_t areaPercent_ = 0;
    void* library_ = nullptr;
    DetectEntry detect_ = nullptr;

    // One region per zone (the whole area without zones), and the same on the sample grid.
    void BuildRegions(int16_t threshold);
    int16_t TickThreshold() const;
    void LookAtSamples(int slot, int threshold, bool motion);

    bool followsNoise_ = false;
    bool lightChangeReject_ = false;
    std::vector<QRect> zones_;
    std::vector<MotionRegion> regions_;
    std::vector<SampleRect> sampleZones_;
    // Per region outputs of the library.
    std::vector<uint8_t> regionAlarms_;
    std::vector<uint8_t> regionFound_;
    std::vector<Point16> regionCentres_;
    std::vector<Rect16> regionTargets_;
    // The previous tick's samples; the current ones are tick_.grey.
    std::vector<uint8_t> previousSamples_;
    uint32_t previousSum_ = 0;
    bool lightChange_ = false;
    NoiseLevel noise_;
    LightChangeRule lightRule_;
    TickPicture tick_;
};

}  // namespace ovistra
