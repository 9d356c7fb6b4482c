#include "frame_grabber.h"

#include <cstring>

#include "capture_device.h"

namespace ovistra::media {

FrameGrabber::FrameGrabber() {
    for (auto& buffer : buffers_) {
        buffer = std::make_unique<uint8_t[]>(kFrameBytes);
    }
}

FrameGrabber::Lease::Lease(Lease&& other) noexcept : owner_(other.owner_), data_(other.data_) {
    other.owner_ = nullptr;
    other.data_ = nullptr;
}

FrameGrabber::Lease& FrameGrabber::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        Release();
        owner_ = other.owner_;
        data_ = other.data_;
        other.owner_ = nullptr;
        other.data_ = nullptr;
    }
    return *this;
}

FrameGrabber::Lease::~Lease() {
    Release();
}

void FrameGrabber::Lease::Release() {
    if (owner_) {
        owner_->EndLease();
    }
    owner_ = nullptr;
    data_ = nullptr;
}

FrameGrabber::Lease FrameGrabber::GetBuffer() {
    std::lock_guard guard(lock_);
    if (pins_ == 0) {
        if (latest_ == kNone) {
            return {};
        }
        pinned_ = latest_;
    }
    ++pins_;
    return Lease(this, buffers_[pinned_].get());
}

void FrameGrabber::EndLease() {
    std::lock_guard guard(lock_);
    if (--pins_ == 0) {
        pinned_ = kNone;
    }
}

void FrameGrabber::Store(const uint8_t* frame, size_t bytes) {
    if (frame == nullptr || bytes != kFrameBytes) {
        return;
    }
    int target = kNone;
    {
        std::lock_guard guard(lock_);
        // Three buffers: one is the latest, at most one is pinned, so one is always free.
        for (int i = 0; i < kBuffers; ++i) {
            if (i != latest_ && i != pinned_) {
                target = i;
                break;
            }
        }
    }
    std::memcpy(buffers_[target].get(), frame, kFrameBytes);
    std::shared_ptr<const std::function<void()>> callback;
    std::shared_ptr<PictureTap> tap;
    {
        std::lock_guard guard(lock_);
        latest_ = target;
        callback = frameCallback_;
        tap = tap_;
    }
    frames_.fetch_add(1, std::memory_order_relaxed);
    if (tap) {
        tap->OnPicture(frame);
    }
    if (callback) {
        (*callback)();
    }
}

void FrameGrabber::SetFrameCallback(std::function<void()> callback) {
    auto shared =
        callback ? std::make_shared<const std::function<void()>>(std::move(callback)) : nullptr;
    std::lock_guard guard(lock_);
    frameCallback_ = std::move(shared);
}

void FrameGrabber::SetPictureTap(std::shared_ptr<PictureTap> tap) {
    std::lock_guard guard(lock_);
    tap_ = std::move(tap);
}

std::shared_ptr<PictureTap> FrameGrabber::pictureTap() {
    std::lock_guard guard(lock_);
    return tap_;
}

}  // namespace ovistra::media
