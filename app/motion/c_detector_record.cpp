#include "c_detector_record.h"

#include <dlfcn.h>

#include <cstdlib>
#include <utility>

#include <QFile>

#include "grey_plane.h"
#include "grey_samples.h"
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

void CDetectorRecord::SetThresholdFollowsNoise(bool follows) {
    followsNoise_ = follows;
}

void CDetectorRecord::SetZones(const std::vector<QRect>& zones) {
    zones_.clear();
    const QRect picture(0, 0, kWidth, kHeight);
    for (const QRect& zone : zones) {
        const QRect inside = zone.intersected(picture);
        // The library needs 2x2 pixels at least.
        if (inside.width() >= 2 && inside.height() >= 2) {
            zones_.push_back(inside);
        }
    }
}

void CDetectorRecord::SetLightChangeReject(bool reject) {
    lightChangeReject_ = reject;
}

void CDetectorRecord::BuildRegions(int16_t threshold) {
    MotionRegion region{};
    region.rule = 1;
    region.diffThreshold = threshold;
    region.areaPercent = areaPercent_;
    regions_.clear();
    sampleZones_.clear();
    if (!areaEnabled_) {
        regions_.push_back(region);  // nothing to examine
        return;
    }
    const QRect area(left_, top_, right_ - left_, bottom_ - top_);
    for (const QRect& zone : zones_) {
        const QRect inside = zone.intersected(area);
        if (inside.width() < 2 || inside.height() < 2) {
            continue;
        }
        region.x = static_cast<int16_t>(inside.x());
        region.y = static_cast<int16_t>(inside.y());
        region.width = static_cast<int16_t>(inside.width());
        region.height = static_cast<int16_t>(inside.height());
        regions_.push_back(region);
    }
    if (zones_.empty()) {
        region.x = static_cast<int16_t>(area.x());
        region.y = static_cast<int16_t>(area.y());
        region.width = static_cast<int16_t>(area.width());
        region.height = static_cast<int16_t>(area.height());
        regions_.push_back(region);
    }
    // The same regions on the sample grid, where sample i stands for pixel 4i + 2.
    for (const MotionRegion& r : regions_) {
        sampleZones_.push_back({(r.x + 1) / kSampleStep, (r.y + 1) / kSampleStep,
                                (r.x + r.width + 1) / kSampleStep,
                                (r.y + r.height + 1) / kSampleStep});
    }
}

int16_t CDetectorRecord::TickThreshold() const {
    return followsNoise_ ? static_cast<int16_t>(noise_.Threshold()) : diffThreshold_;
}

void CDetectorRecord::ProcessFrame(const uint8_t* frame) {
    if (frame == nullptr) {
        return;
    }
    constexpr int kSamples = TickPicture::kWidth * TickPicture::kHeight;
    const int slot = nextSlotB_ ? 1 : 0;
    std::vector<uint8_t>& plane = slots_[slot];
    if (plane.empty()) {
        plane.resize(size_t{kWidth} * kHeight);
    }
    // The recorder's conversion and the grey pass in one: the same bytes, no scratch copy.
    Yuy2ToGreyPlane(plane.data(), kWidth, frame, kYuy2Stride, kWidth / 2, kHeight);
    images_[slot] = {plane.data(), static_cast<int16_t>(kWidth), static_cast<int16_t>(kHeight)};
    nextSlotB_ = !nextSlotB_;
    // The last tick's samples become the reference, without a copy.
    std::swap(previousSamples_, tick_.grey);
    tick_.grey.resize(kSamples);
    const uint32_t previousSum = previousSum_;
    previousSum_ = SampleGreyPlane(plane.data(), kWidth, kWidth, kHeight, tick_.grey.data());
    if (!images_[0].data || !images_[1].data) {
        return;
    }
    const uint8_t* current = tick_.grey.data();
    const uint8_t* reference = previousSamples_.data();
    const bool firstMeasurement = followsNoise_ && !noise_.measured();
    if (firstMeasurement) {
        noise_.Update(current, reference, TickPicture::kWidth, TickPicture::kHeight);
    }
    const int16_t threshold = TickThreshold();

    BuildRegions(threshold);
    bool motion = false;
    if (detect_) {
        const size_t count = regions_.size();
        regionAlarms_.resize(count);
        regionFound_.resize(count);
        regionCentres_.resize(count);
        regionTargets_.resize(count);
        detect_(&images_[0], &images_[1], static_cast<int32_t>(count), regions_.data(),
                regionAlarms_.data(), regionCentres_.data(), regionTargets_.data(),
                regionFound_.data());
        for (const uint8_t alarm : regionAlarms_) {
            motion = motion || alarm != 0;
        }
    }

    // The coarse look: what changed, whether it was the light, and the picture's noise.
    tick_.changed.resize(kSamples);
    const int changedCount =
        MarkChanged(current, reference, tick_.changed.data(), kSamples, threshold);
    lightChange_ = false;
    if (motion && !sampleZones_.empty()) {
        const LightChangeInput in{current,          reference,           tick_.changed.data(),
                                  changedCount,     TickPicture::kWidth, TickPicture::kHeight,
                                  previousSum_,     previousSum,         &sampleZones_,
                                  threshold};
        lightChange_ = lightRule_.IsLightChange(in);
    }
    const int64_t meanJump =
        std::llabs(int64_t{previousSum_} - int64_t{previousSum}) / kSamples;
    if (followsNoise_ && !firstMeasurement && !lightChange_ &&
        meanJump < LightChangeRule::kMeanJump) {
        noise_.Update(current, reference, TickPicture::kWidth, TickPicture::kHeight);
    }
    if (lightChange_ && lightChangeReject_) {
        motion = false;
    }
    if (detect_) {
        alarm_ = motion ? 1 : 0;
    }
    tick_.valid = true;
    tick_.motion = motion;
    tick_.lightChange = lightChange_;
    tick_.threshold = threshold;
}

void CDetectorRecord::QueryAlarm(uint32_t* out) const {
    if (out) {
        *out = alarm_ != 0 ? 1 : 0;
    }
}

}  // namespace ovistra
