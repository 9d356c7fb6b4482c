// The frame-differencing detector behind ORBALIN_Detect_Motion and its region-wise form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "planes.h"
#include "vigimot.h"

namespace vigimot {

struct Detection {
    Rect16 target;  // relative to the examined planes
    uint8_t found;
    uint8_t alarm;  // area rule
};

// The reference: difference, threshold, erosion and bounding box of current against reference
// (same size), one plane operation after the other. work (packed, current's size) receives the
// eroded mask; mask is scratch of the same size.
Detection DetectInto(const PlaneView& current, const PlaneView& reference, int16_t diffThreshold,
                     int16_t areaPercent, uint8_t* work, uint8_t* mask);

// Bytes of row scratch that DetectRows needs for planes `width` columns wide.
size_t DetectRowsScratchBytes(int width);

// The same detection in one pass: each row's difference and threshold go into a band of three
// mask rows, the middle row is eroded and widens the box. A row next to an unchanged row
// erodes to nothing and is skipped. work, when not null, receives the eroded mask; it may be
// current's or reference's own packed plane, as every row is read before it is overwritten.
// rows is scratch of DetectRowsScratchBytes(current.width) bytes.
Detection DetectRows(const PlaneView& current, const PlaneView& reference, int16_t diffThreshold,
                     int16_t areaPercent, uint8_t* work, uint8_t* rows);

// ORBALIN_Detect_Motion and ORBALIN_Detect_Motion_Multiple (vigimot.h), argument for argument.
void DetectMotion(const ImageBuf* current, const ImageBuf* reference, ImageBuf* work,
                  int32_t diffThreshold, int32_t areaPercent, uint8_t* alarm, Rect16* target,
                  uint8_t* found);
int32_t DetectMotionMultiple(const ImageBuf* current, const ImageBuf* reference, int32_t count,
                             const MotionRegion* regions, uint8_t* alarms, Point16* centres,
                             Rect16* targets, uint8_t* found);

// 1 when the rectangle comes within 4 pixels of the border of a width x height plane.
uint8_t NearBorder(Point16 origin, Size16 extent, int width, int height);

// The bounding box of a mask in the export's form: (W, H, -W, -H) when nothing is set.
Rect16 TargetOf(const Bounds& bounds);

// The packed plane of a descriptor.
inline PlaneView View(const ImageBuf& image) {
    return PlaneView{image.data, image.width, image.width, image.height};
}

inline bool SameSize(const ImageBuf& a, const ImageBuf& b) {
    return a.width == b.width && a.height == b.height;
}

// The rectangle lies inside a width x height plane (an empty rectangle anywhere inside).
inline bool Inside(int x, int y, int w, int h, int width, int height) {
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 && x + w <= width && y + h <= height;
}

}  // namespace vigimot
