// The eleven exports of vigimot: argument handling of the C interface over the plane
// operations. Nothing here keeps state between calls.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "detector.h"
#include "planes.h"
#include "vigimot.h"

namespace {

using vigimot::PlaneBytes;
using vigimot::PlaneView;

PlaneView View(const ImageBuf& image) {
    return PlaneView{image.data, image.width, image.width, image.height};
}

// Slots of 32 bits of which only the low 16 count, as a signed value.
int16_t LowSigned16(int32_t slot) {
    return static_cast<int16_t>(static_cast<uint16_t>(slot & 0xFFFF));
}

bool SameSize(const ImageBuf& a, const ImageBuf& b) {
    return a.width == b.width && a.height == b.height;
}

// The rectangle lies inside a width x height plane (an empty rectangle anywhere inside).
bool Inside(int x, int y, int w, int h, int width, int height) {
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 && x + w <= width && y + h <= height;
}

// Scratch planes live for one call; a failed allocation leaves the pointer null.
struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Scratch = std::unique_ptr<uint8_t[], FreeDeleter>;

Scratch AllocateScratch(size_t bytes) {
    return Scratch(static_cast<uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes)));
}

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
    const ImageBuf cur = *current;
    // Frames of different sizes, or no memory for the mask: nothing is found, nothing is read.
    Scratch mask =
        SameSize(cur, *reference) ? AllocateScratch(PlaneBytes(cur.width, cur.height)) : Scratch();
    if (!mask) {
        *alarm = 0;
        *found = 0;
        return;
    }
    work->width = cur.width;
    work->height = cur.height;
    const vigimot::Detection d =
        vigimot::DetectInto(View(cur), View(*reference), LowSigned16(diffThreshold),
                            LowSigned16(areaPercent), work->data, mask.get());
    *alarm = d.alarm;
    *target = d.target;
    *found = d.found;
}

int32_t ORBALIN_Detect_Motion_Multiple(const ImageBuf* current, const ImageBuf* reference,
                                       int32_t count, const MotionRegion* regions, uint8_t* alarms,
                                       Point16* centres, Rect16* targets, uint8_t* found) {
    const int16_t n = LowSigned16(count);
    const ImageBuf cur = *current;
    const ImageBuf ref = *reference;
    for (int i = 0; i < n; ++i) {
        const MotionRegion r = regions[i];
        alarms[i] = 0;
        found[i] = 0;
        // A region outside the frames, or frames of different sizes, find nothing.
        if (!SameSize(cur, ref) || !Inside(r.x, r.y, r.width, r.height, cur.width, cur.height)) {
            continue;
        }
        const size_t bytes = PlaneBytes(r.width, r.height);
        Scratch planes = AllocateScratch(2 * bytes);
        if (!planes) {
            continue;
        }
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r.y) * cur.width + r.x;
        const PlaneView curPart{cur.data + offset, cur.width, r.width, r.height};
        const PlaneView refPart{ref.data + offset, ref.width, r.width, r.height};
        uint8_t* work = planes.get();
        const vigimot::Detection d = vigimot::DetectInto(curPart, refPart, r.diffThreshold,
                                                         r.areaPercent, work, work + bytes);
        if (!d.found) {
            continue;
        }
        found[i] = 1;
        const Rect16 t = d.target;
        if (r.rule == 1) {
            alarms[i] = d.alarm;
        } else if (r.rule == 2) {
            alarms[i] = vigimot::NearBorder(Point16{t.x, t.y}, Size16{t.width, t.height}, r.width,
                                            r.height);
        }
        centres[i] = Point16{static_cast<int16_t>(r.x + t.x + t.width / 2),
                             static_cast<int16_t>(r.y + t.y + t.height / 2)};
        targets[i] = Rect16{static_cast<int16_t>(r.x + t.x), static_cast<int16_t>(r.y + t.y),
                            t.width, t.height};
    }
    return n;
}

}  // extern "C"
