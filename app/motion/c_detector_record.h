// One camera's motion detector: each tick its latest frame becomes a grey plane, compared with
// the previous tick's through the motion analysis library, which the record loads at run time
// from the station's own folders. Without the library, or without its detector entry, frames
// are still converted and the alarm never rises.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

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

    // One 640x480 YUY2 frame, lines top to bottom, 1280 bytes each. Nothing is allocated
    // after the first two frames.
    void ProcessFrame(const uint8_t* frame);

    // 1 when the last comparison raised the alarm, else 0.
    void QueryAlarm(uint32_t* out) const;

private:
    using DetectEntry = int32_t (*)(const ImageBuf*, const ImageBuf*, int32_t,
                                    const MotionRegion*, uint8_t*, Point16*, Rect16*, uint8_t*);

    bool nextSlotB_ = false;
    std::vector<uint8_t> slots_[2];  // grey planes, row 0 the top line
    ImageBuf images_[2] = {};
    bool areaEnabled_ = false;
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
    uint8_t alarm_ = 0;
    uint8_t found_ = 0;
    Rect16 target_ = {};
    Point16 centre_ = {};
    int16_t diffThreshold_ = 50;
    int16_t areaPercent_ = 0;
    void* library_ = nullptr;
    DetectEntry detect_ = nullptr;
};

}  // namespace ovistra
