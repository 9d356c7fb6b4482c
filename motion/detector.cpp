#include "detector.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace vigimot {
namespace {

// Slots of 32 bits of which only the low 16 count, as a signed value.
int16_t LowSigned16(int32_t slot) {
    return static_cast<int16_t>(static_cast<uint16_t>(slot & 0xFFFF));
}

// A plane with bytes but no memory cannot be read: such a call finds nothing.
bool Readable(const uint8_t* data, int width, int height) {
    return data != nullptr || PlaneBytes(width, height) == 0;
}

// Scratch rows of one detection: on the stack for frames of ordinary width, from the heap for
// very wide ones (a failed allocation leaves get() null).
class RowScratch {
public:
    explicit RowScratch(size_t bytes) {
        if (bytes > sizeof(stack_)) {
            heap_.reset(static_cast<uint8_t*>(std::malloc(bytes)));
            data_ = heap_.get();
        }
    }
    RowScratch(const RowScratch&) = delete;
    RowScratch& operator=(const RowScratch&) = delete;

    uint8_t* get() const { return data_; }

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    alignas(32) uint8_t stack_[4 * 4096];
    std::unique_ptr<uint8_t, FreeDeleter> heap_;
    uint8_t* data_ = stack_;
};

uint8_t AreaAlarm(const Detection& d, int width, int height, int16_t areaPercent) {
    // 64-bit products: in 32 bits a large area percent overflowed and inverted the decision.
    const int64_t targetArea = int64_t{100} * d.target.width * d.target.height;
    const int64_t needed = int64_t{width} * height * areaPercent;
    return (d.found && targetArea > needed) ? 1 : 0;
}

}  // namespace

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
    d.alarm = AreaAlarm(d, width, height, areaPercent);
    return d;
}

size_t DetectRowsScratchBytes(int width) {
    return width > 0 ? 4 * static_cast<size_t>(width) : 0;
}

Detection DetectRows(const PlaneView& current, const PlaneView& reference, int16_t diffThreshold,
                     int16_t areaPercent, uint8_t* work, uint8_t* rows) {
    const int width = current.width;
    const int height = current.height;
    Bounds bounds{false, width, height, 0, 0};
    if (PlaneBytes(width, height) != 0) {
        const Band band = ChangedBand(diffThreshold);
        const size_t rowBytes = static_cast<size_t>(width);
        // Mask rows y - 1, y and y + 1 sit in slots y % 3; eroded rows go to work or slot 3.
        uint8_t* mask[3] = {rows, rows + rowBytes, rows + 2 * rowBytes};
        uint8_t* eroded = rows + 3 * rowBytes;
        bool changed[3] = {false, false, false};
        auto threshold = [&](int y) {
            changed[y % 3] =
                ChangedRow(current.data + y * current.strideBytes,
                           reference.data + y * reference.strideBytes, mask[y % 3], width, band);
        };
        threshold(0);
        for (int y = 0; y < height; ++y) {
            if (y + 1 < height) {
                threshold(y + 1);
            }
            // A missing row above or below is replaced by the row itself, as in ErodePlane.
            const int up = (y > 0 ? y - 1 : y) % 3;
            const int down = (y + 1 < height ? y + 1 : y) % 3;
            uint8_t* out = work ? work + y * static_cast<ptrdiff_t>(width) : eroded;
            if (!(changed[up] && changed[y % 3] && changed[down])) {
                if (work) {
                    std::memset(out, 0, rowBytes);
                }
                continue;
            }
            const bool set = ErodeRow(mask[up], mask[y % 3], mask[down], out, width);
            AddRowToBounds(out, width, y, set, bounds);
        }
    }
    Detection d{TargetOf(bounds), bounds.any ? uint8_t{1} : uint8_t{0}, 0};
    d.alarm = AreaAlarm(d, width, height, areaPercent);
    return d;
}

void DetectMotion(const ImageBuf* current, const ImageBuf* reference, ImageBuf* work,
                  int32_t diffThreshold, int32_t areaPercent, uint8_t* alarm, Rect16* target,
                  uint8_t* found) {
    const ImageBuf cur = *current;
    const ImageBuf ref = *reference;
    // Frames of different sizes, planes without memory, or no memory for the scratch rows:
    // nothing is found, nothing is read or written.
    const bool readable = SameSize(cur, ref) && Readable(cur.data, cur.width, cur.height) &&
                          Readable(ref.data, cur.width, cur.height) &&
                          Readable(work->data, cur.width, cur.height);
    const RowScratch rows(readable ? DetectRowsScratchBytes(cur.width) : 0);
    if (!readable || !rows.get()) {
        *alarm = 0;
        *found = 0;
        return;
    }
    work->width = cur.width;
    work->height = cur.height;
    const Detection d = DetectRows(View(cur), View(ref), LowSigned16(diffThreshold),
                                   LowSigned16(areaPercent), work->data, rows.get());
    *alarm = d.alarm;
    *target = d.target;
    *found = d.found;
}

int32_t DetectMotionMultiple(const ImageBuf* current, const ImageBuf* reference, int32_t count,
                             const MotionRegion* regions, uint8_t* alarms, Point16* centres,
                             Rect16* targets, uint8_t* found) {
    const int16_t n = LowSigned16(count);
    const ImageBuf cur = *current;
    const ImageBuf ref = *reference;
    const bool readable = SameSize(cur, ref) && Readable(cur.data, cur.width, cur.height) &&
                          Readable(ref.data, cur.width, cur.height);
    for (int i = 0; i < n; ++i) {
        const MotionRegion r = regions[i];
        alarms[i] = 0;
        found[i] = 0;
        // A region outside the frames, or frames of different sizes, find nothing.
        if (!readable || !Inside(r.x, r.y, r.width, r.height, cur.width, cur.height)) {
            continue;
        }
        const RowScratch rows(DetectRowsScratchBytes(r.width));
        if (!rows.get()) {
            continue;
        }
        const ptrdiff_t offset = static_cast<ptrdiff_t>(r.y) * cur.width + r.x;
        const PlaneView curPart{cur.data + offset, cur.width, r.width, r.height};
        const PlaneView refPart{ref.data + offset, ref.width, r.width, r.height};
        const Detection d =
            DetectRows(curPart, refPart, r.diffThreshold, r.areaPercent, nullptr, rows.get());
        if (!d.found) {
            continue;
        }
        found[i] = 1;
        const Rect16 t = d.target;
        if (r.rule == 1) {
            alarms[i] = d.alarm;
        } else if (r.rule == 2) {
            alarms[i] = NearBorder(Point16{t.x, t.y}, Size16{t.width, t.height}, r.width, r.height);
        }
        centres[i] = Point16{static_cast<int16_t>(r.x + t.x + t.width / 2),
                             static_cast<int16_t>(r.y + t.y + t.height / 2)};
        targets[i] = Rect16{static_cast<int16_t>(r.x + t.x), static_cast<int16_t>(r.y + t.y),
                            t.width, t.height};
    }
    return n;
}

uint8_t NearBorder(Point16 origin, Size16 extent, int width, int height) {
    const int16_t right = static_cast<int16_t>(origin.x + extent.width);
    const int16_t bottom = static_cast<int16_t>(origin.y + extent.height);
    const bool near = origin.x <= 4 || origin.y <= 4 || right >= width - 4 || bottom >= height - 4;
    return near ? 1 : 0;
}

}  // namespace vigimot
