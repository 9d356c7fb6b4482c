#include "picture_feed.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <chrono>

#include "frame_router.h"
#include "local_clock.h"
#include "picture_planes.h"

namespace ovistra::network {
namespace {

constexpr size_t kPictureBytes = I420Bytes(kPictureWidth, kPictureHeight);
constexpr int kCaptionMarginPx = 4;

GstBuffer* NewPicture() { return gst_buffer_new_allocate(nullptr, kPictureBytes, nullptr); }

GstBuffer* BlackPicture() {
    GstBuffer* buffer = NewPicture();
    const size_t lumaBytes = size_t(kPictureWidth) * kPictureHeight;
    gst_buffer_memset(buffer, 0, 16, lumaBytes);
    gst_buffer_memset(buffer, lumaBytes, 128, kPictureBytes - lumaBytes);
    return buffer;
}

void Replace(GstBuffer*& slot, GstBuffer* buffer) {
    if (slot != nullptr) {
        gst_buffer_unref(slot);
    }
    slot = buffer;
}

}  // namespace

PictureFeed::~PictureFeed() { Stop(); }

void PictureFeed::Start(uint32_t frameRate) {
    Stop();
    std::lock_guard lock(lock_);
    stop_ = false;
    thread_ = std::thread([this, frameRate] { Run(std::max<uint32_t>(frameRate, 1)); });
}

void PictureFeed::Stop() {
    {
        std::lock_guard lock(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard lock(lock_);
    for (auto& sources : sources_) {
        for (GstElement* source : sources) {
            gst_object_unref(source);
        }
        sources.clear();
    }
    for (GstBuffer*& buffer : latest_) {
        Replace(buffer, nullptr);
    }
    fromGrabber_ = {};
    stampedShown_ = {};
    std::lock_guard inputLock(inputLock_);
    captionsChanged_ = true;
}

void PictureFeed::Attach(int path, GstElement* source) {
    if (path < 0 || path >= kPaths || source == nullptr) {
        return;
    }
    {
        std::lock_guard lock(lock_);
        sources_[path].push_back(GST_ELEMENT(gst_object_ref(source)));
    }
    wake_.notify_all();
}

void PictureFeed::Detach(int path, GstElement* source) {
    if (path < 0 || path >= kPaths) {
        return;
    }
    std::lock_guard lock(lock_);
    auto& sources = sources_[path];
    const auto found = std::find(sources.begin(), sources.end(), source);
    if (found != sources.end()) {
        gst_object_unref(*found);
        sources.erase(found);
    }
}

void PictureFeed::SetRouter(media::FrameRouter* router) {
    std::lock_guard lock(inputLock_);
    router_ = router;
}

void PictureFeed::SetCaptions(const std::array<QString, kCameras>& captions) {
    std::lock_guard lock(inputLock_);
    captions_ = captions;
    captionsChanged_ = true;
}

void PictureFeed::SetTimeStampMask(uint32_t mask) {
    std::lock_guard lock(inputLock_);
    timeStampMask_ = mask;
}

void PictureFeed::Run(uint32_t frameRate) {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(GST_SECOND / frameRate);
    auto next = Clock::now();
    std::unique_lock lock(lock_);
    while (!stop_) {
        const bool idle = std::all_of(sources_.begin(), sources_.end(),
                                      [](const auto& sources) { return sources.empty(); });
        if (idle) {
            // Nobody watches: sleep until a path gets a source, then send at once.
            wake_.wait(lock, [this] {
                return stop_ || std::any_of(sources_.begin(), sources_.end(),
                                            [](const auto& sources) { return !sources.empty(); });
            });
            next = Clock::now();
            continue;
        }
        lock.unlock();
        Tick(GST_SECOND / frameRate);
        lock.lock();
        // A late round is not made up for with a burst.
        next = std::max(next + period, Clock::now());
        wake_.wait_until(lock, next, [this] { return stop_; });
    }
}

void PictureFeed::Tick(GstClockTime durationNs) {
    std::array<std::vector<GstElement*>, kPaths> targets;
    {
        std::lock_guard lock(lock_);
        for (int path = 0; path < kPaths; ++path) {
            for (GstElement* source : sources_[path]) {
                targets[path].push_back(GST_ELEMENT(gst_object_ref(source)));
            }
        }
    }
    const bool allWatched = !targets[kAllPath].empty();
    {
        std::lock_guard lock(inputLock_);
        const int renders = stamp_.renderCount();
        if (timeStampMask_ != 0) {
            stamp_.Update(platform::LocalNow());
        }
        const bool stampChanged = stamp_.renderCount() != renders;
        bool anyChanged = false;
        for (int camera = 0; camera < kCameras; ++camera) {
            if (allWatched || !targets[camera].empty()) {
                anyChanged |= RefreshCamera(camera, stampChanged);
            }
        }
        if (allWatched && captionsChanged_) {
            for (int camera = 0; camera < kCameras; ++camera) {
                // A long name stops at its own quarter.
                const QImage mask = RenderTextMask(captions_[camera]);
                const int widthPx = std::min(mask.width(), kPictureWidth / 2 - 2 * kCaptionMarginPx);
                captionMasks_[camera] = mask.isNull() ? mask : mask.copy(0, 0, widthPx, mask.height());
            }
            captionsChanged_ = false;
            anyChanged = true;
        }
        if (allWatched && (anyChanged || latest_[kAllPath] == nullptr)) {
            ComposeAll();
        }
    }
    for (int path = 0; path < kPaths; ++path) {
        for (GstElement* source : targets[path]) {
            // A shallow copy: the pixels are shared, only the timing is the push's own.
            GstBuffer* buffer = gst_buffer_copy(latest_[path]);
            GST_BUFFER_DURATION(buffer) = durationNs;
            gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
            gst_object_unref(source);
        }
    }
}

bool PictureFeed::RefreshCamera(int camera, bool stampChanged) {
    const bool stamped = (timeStampMask_ >> camera) & 1u;
    if (router_ != nullptr) {
        media::FrameGrabber& grabber = router_->grabber(camera);
        const uint64_t frames = grabber.framesReceived();
        const bool fresh = !fromGrabber_[camera] || frames != framesSeen_[camera];
        if (fresh || (stamped && stampChanged) || stamped != stampedShown_[camera]) {
            media::FrameGrabber::Lease lease = grabber.GetBuffer();
            if (lease) {
                GstBuffer* buffer = NewPicture();
                GstMapInfo map;
                gst_buffer_map(buffer, &map, GST_MAP_WRITE);
                Yuy2ToI420(lease.data(), map.data, kPictureWidth, kPictureHeight);
                lease = {};
                if (stamped) {
                    InvertLumaUnder(stamp_.bitmap(), map.data, kPictureWidth, kPictureHeight,
                                    kPictureWidth, 0, 0);
                }
                gst_buffer_unmap(buffer, &map);
                Replace(latest_[camera], buffer);
                framesSeen_[camera] = frames;
                fromGrabber_[camera] = true;
                stampedShown_[camera] = stamped;
                return true;
            }
        }
    }
    if (latest_[camera] == nullptr) {
        Replace(latest_[camera], BlackPicture());
        return true;
    }
    return false;
}

void PictureFeed::ComposeAll() {
    GstBuffer* buffer = NewPicture();
    GstMapInfo target;
    gst_buffer_map(buffer, &target, GST_MAP_WRITE);
    for (int camera = 0; camera < kCameras; ++camera) {
        GstMapInfo source;
        gst_buffer_map(latest_[camera], &source, GST_MAP_READ);
        ReduceIntoQuarter(source.data, target.data, kPictureWidth, kPictureHeight, camera);
        gst_buffer_unmap(latest_[camera], &source);
        const QImage& caption = captionMasks_[camera];
        if (!caption.isNull()) {
            const int left = (camera & 1) * kPictureWidth / 2 + kCaptionMarginPx;
            const int bottom = ((camera >> 1) + 1) * kPictureHeight / 2 - kCaptionMarginPx;
            InvertLumaUnder(caption, target.data, kPictureWidth, kPictureHeight, kPictureWidth,
                            left, bottom - caption.height());
        }
    }
    gst_buffer_unmap(buffer, &target);
    Replace(latest_[kAllPath], buffer);
}

}  // namespace ovistra::network
