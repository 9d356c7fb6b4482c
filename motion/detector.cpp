#include "detector.h"

namespace vigimot {

Rect16 TargetOf(const Bounds& b) {
    return Rect16{static_cast<int16_t>(b.left), static_cast<int16_t>(b.top),
                  static_cast<int16_t>(b.right - b.left), static_cast<int16_t>(b.bottom - b.top)};
}

Detection DetectInto(const PlaneView& current, const PlaneView& reference, int16_t diffThreshold,
                     int16_t areaPercent, uint8_t* work, uint8_t* mask) {
    const int width = current.width;
    const int height = current.height;
    const size_t bytes = PlaneBytes(width, height);

    AbsDiffPlane(current, reference, work);
    BandPlane(work, mask, bytes, ChangedBand(diffThreshold));
    ErodePlane(mask, work, width, height);
    const Bounds bounds = FindBounds(work, width, height);

    Detection d{TargetOf(bounds), bounds.any ? uint8_t{1} : uint8_t{0}, 0};
    // 64-bit products: in 32 bits a large area percent overflowed and inverted the decision.
    const int64_t targetArea = int64_t{100} * d.target.width * d.target.height;
    const int64_t needed = int64_t{width} * height * areaPercent;
    d.alarm = (d.found && targetArea > needed) ? 1 : 0;
    return d;
}

uint8_t NearBorder(Point16 origin, Size16 extent, int width, int height) {
    const int16_t right = static_cast<int16_t>(origin.x + extent.width);
    const int16_t bottom = static_cast<int16_t>(origin.y + extent.height);
    const bool near = origin.x <= 4 || origin.y <= 4 || right >= width - 4 || bottom >= height - 4;
    return near ? 1 : 0;
}

}  // namespace vigimot
