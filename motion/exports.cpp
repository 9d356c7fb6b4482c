// The eleven exports of vigimot: argument handling of the C interface over the plane
// operations. Nothing here keeps state between calls.
#include <cstring>

#include "detector.h"
#include "planes.h"
#include "vigimot.h"

namespace {

using vigimot::Inside;
using vigimot::PlaneBytes;
using vigimot::SameSize;
using vigimot::View;

constexpr char kVersionText[] = "**** v1.00 at Nov 30 2003 ****\n";
static_assert(sizeof(kVersionText) == 32, "the version text is 32 bytes with its zero");

}  // namespace

extern "C" {

int32_t ORBALIN_Subtract_Image(const ImageBuf* first, const ImageBuf* second, ImageBuf* dst) {
    if (!SameSize(*first, *second)) {
        return VIGIMOT_REFUSED;
    }
    const ImageBuf a = *first;
    dst->width = a.width;
    dst->height = a.height;
    vigimot::AbsDiffPlane(View(a), View(*second), dst->data);
    return VIGIMOT_DONE;
}

void ORBALIN_Get_Buf_Child2d(const ImageBuf* src, Point16 origin, Size16 extent, ImageBuf* dst) {
    const ImageBuf source = *src;
    dst->width = extent.width;
    dst->height = extent.height;
    // A rectangle reaching outside the source copies nothing rather than reading past it.
    if (!Inside(origin.x, origin.y, extent.width, extent.height, source.width, source.height)) {
        return;
    }
    for (int r = 0; r < extent.height; ++r) {
        std::memcpy(dst->data + static_cast<ptrdiff_t>(r) * extent.width,
                    source.data + static_cast<ptrdiff_t>(origin.y + r) * source.width + origin.x,
                    static_cast<size_t>(extent.width));
    }
}

int32_t ORBALIN_Binarize(const ImageBuf* src, ImageBuf* dst, int32_t mode, int32_t level1,
                         int32_t level2) {
    const ImageBuf source = *src;
    dst->width = source.width;
    dst->height = source.height;
    const auto band = vigimot::BinarizeBand(mode, level1, level2);
    if (!band) {
        return VIGIMOT_REFUSED;
    }
    vigimot::BandPlane(source.data, dst->data, PlaneBytes(source.width, source.height), *band);
    return VIGIMOT_DONE;
}

void ORBALIN_Erode(const ImageBuf* src, ImageBuf* dst) {
    vigimot::ErodePlane(src->data, dst->data, src->width, src->height);
}

void ORBALIN_Get_Center(Point16 origin, Size16 extent, Point16* out) {
    out->x = static_cast<int16_t>(origin.x + extent.width / 2);
    out->y = static_cast<int16_t>(origin.y + extent.height / 2);
}

void ORBALIN_Detect_Boundary(const ImageBuf* mask, Point16 origin, Size16 extent, uint8_t* out) {
    *out = vigimot::NearBorder(origin, extent, mask->width, mask->height);
}

void ORBALIN_Get_Vigimot_Version(char* text) {
    std::memcpy(text, kVersionText, sizeof(kVersionText));
}

void ORBALIN_Find_Target(const ImageBuf* mask, Rect16* target, uint8_t* found) {
    const vigimot::Bounds bounds = vigimot::FindBounds(mask->data, mask->width, mask->height);
    *target = vigimot::TargetOf(bounds);
    *found = bounds.any ? 1 : 0;
}

void ORBALIN_Get_Alarm(const ImageBuf* mask, int32_t mode, int32_t level1, int32_t level2,
                       uint8_t* alarm) {
    const int32_t n = vigimot::CountSetPlane(mask->data, PlaneBytes(mask->width, mask->height));
    bool on = false;
    switch (mode) {
        case 1:
            on = !(level2 < n && n < level1);
            break;
        case 2:
            on = !(level1 <= n && n <= level2);
            break;
        case 3:
            on = n == level1;
            break;
        case 4:
            on = n > level1;
            break;
        case 5:
            on = n < level1;
            break;
        default:
            return;
    }
    *alarm = on ? 1 : 0;
}

void ORBALIN_Detect_Motion(const ImageBuf* current, const ImageBuf* reference, ImageBuf* work,
                           int32_t diffThreshold, int32_t areaPercent, uint8_t* alarm,
                           Rect16* target, uint8_t* found) {
    vigimot::DetectMotion(current, reference, work, diffThreshold, areaPercent, alarm, target,
                          found);
}

int32_t ORBALIN_Detect_Motion_Multiple(const ImageBuf* current, const ImageBuf* reference,
                                       int32_t count, const MotionRegion* regions, uint8_t* alarms,
                                       Point16* centres, Rect16* targets, uint8_t* found) {
    return vigimot::DetectMotionMultiple(current, reference, count, regions, alarms, centres,
                                         targets, found);
}

}  // extern "C"
