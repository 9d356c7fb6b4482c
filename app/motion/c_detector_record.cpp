#include "c_detector_record.h"

#include <dlfcn.h>

#include <QFile>

#include "grey_plane.h"
#include "runtime_paths.h"

namespace ovistra {
namespace {

constexpr int kYuy2Stride = CDetectorRecord::kWidth * 2;

}  // namespace

CDetectorRecord::CDetectorRecord(const QString& libraryPath) {
    const QString path =
        libraryPath.isEmpty() ? platform::FindRuntimeLibrary(QString::fromLatin1(kLibraryName))
                              : libraryPath;
    if (path.isEmpty()) {
        return;
    }
    // RTLD_LOCAL: the library's names never mix with the station's.
    library_ = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (library_) {
        detect_ = reinterpret_cast<DetectEntry>(dlsym(library_, kEntryName));
    }
}

CDetectorRecord::~CDetectorRecord() {
    detect_ = nullptr;
    if (library_) {
        dlclose(library_);
    }
}

CDetectorRecord::Availability CDetectorRecord::availability() const {
    if (!library_) {
        return Availability::NoLibrary;
    }
    return detect_ ? Availability::Ready : Availability::NoEntry;
}

void CDetectorRecord::SetFrameRect(int left, int top, int right, int bottom) {
    left_ = 0;
    top_ = 0;
    right_ = right - left;
    bottom_ = bottom - top;
    areaEnabled_ = true;
}

void CDetectorRecord::SetDiffThreshold(int16_t threshold) {
    diffThreshold_ = threshold;
}

void CDetectorRecord::ProcessFrame(const uint8_t* frame) {
    if (frame == nullptr) {
        return;
    }
    const int slot = nextSlotB_ ? 1 : 0;
    std::vector<uint8_t>& plane = slots_[slot];
    if (plane.empty()) {
        plane.resize(size_t{kWidth} * kHeight);
    }
    // The recorder's conversion and the grey pass in one: the same bytes, no scratch copy.
    Yuy2ToGreyPlane(plane.data(), kWidth, frame, kYuy2Stride, kWidth / 2, kHeight);
    images_[slot] = {plane.data(), static_cast<int16_t>(kWidth), static_cast<int16_t>(kHeight)};
    nextSlotB_ = !nextSlotB_;

    MotionRegion region{};
    region.rule = 1;
    if (areaEnabled_) {
        region.x = static_cast<int16_t>(left_);
        region.y = static_cast<int16_t>(top_);
        region.width = static_cast<int16_t>(right_ - left_);
        region.height = static_cast<int16_t>(bottom_ - top_);
    }
    region.diffThreshold = diffThreshold_;
    region.areaPercent = areaPercent_;
    if (detect_ && images_[0].data && images_[1].data) {
        detect_(&images_[0], &images_[1], 1, &region, &alarm_, &centre_, &target_, &found_);
    }
}

void CDetectorRecord::QueryAlarm(uint32_t* out) const {
    if (out) {
        *out = alarm_ != 0 ? 1 : 0;
    }
}

}  // namespace ovistra
