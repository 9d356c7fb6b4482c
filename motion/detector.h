// The frame-differencing detector behind ORBALIN_Detect_Motion and its region-wise form.
#pragma once

#include <cstdint>

#include "planes.h"
#include "vigimot.h"

namespace vigimot {

struct Detection {
    Rect16 target;  // relative to the examined planes
    uint8_t found;
    uint8_t alarm;  // area rule
};

// Difference, threshold, erosion and bounding box of current against reference (same size).
// work (packed, current's size) receives the eroded mask; mask is scratch of the same size.
Detection DetectInto(const PlaneView& current, const PlaneView& reference, int16_t diffThreshold,
                     int16_t areaPercent, uint8_t* work, uint8_t* mask);

// 1 when the rectangle comes within 4 pixels of the border of a width x height plane.
uint8_t NearBorder(Point16 origin, Size16 extent, int width, int height);

// The bounding box of a mask in the export's form: (W, H, -W, -H) when nothing is set.
Rect16 TargetOf(const Bounds& bounds);

}  // namespace vigimot
