// The grabber of one camera's branch: keeps the latest 640x480 YUY2 frame of its camera in
// buffers of its own (latest, pinned, spare), so the device's buffers are never held, and hands
// it out as a lease that keeps the frame whole while it is read.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ovistra::media {

// Sees every frame a grabber stores, on the streaming thread that stores it.
class PictureTap {
public:
    virtual ~PictureTap() = default;
    // `frame` (kFrameBytes) is whole for the call only; take a copy or nothing.
    virtual void OnPicture(const uint8_t* frame) = 0;
};

class FrameGrabber {
public:
    FrameGrabber();
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // A read of the latest frame; the frame stays whole and in place until the lease ends.
    // Leases taken while another is held see the same frame.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();
        const uint8_t* data() const { return data_; }  // kFrameBytes, or null: no frame yet
        explicit operator bool() const { return data_ != nullptr; }

    private:
        friend class FrameGrabber;
        Lease(FrameGrabber* owner, const uint8_t* data) : owner_(owner), data_(data) {}
        void Release();
        FrameGrabber* owner_ = nullptr;
        const uint8_t* data_ = nullptr;
    };

    // Any thread; a lease must end before the grabber does.
    Lease GetBuffer();

    // The streaming thread (one writer at a time): takes a copy of the frame (bytes must be
    // kFrameBytes; others are dropped) and then tells the frame callback.
    void Store(const uint8_t* frame, size_t bytes);

    // Called on the streaming thread after each stored frame; must only hand work over. Any
    // thread; a frame being stored may still call the callback it replaced.
    void SetFrameCallback(std::function<void()> callback);

    // Each stored frame also goes to `tap` (null: none), which the grabber keeps alive while it
    // may be called. Any thread; a frame being stored may still reach the tap it replaced.
    void SetPictureTap(std::shared_ptr<PictureTap> tap);
    std::shared_ptr<PictureTap> pictureTap();

    // Frames stored so far. Thread-safe.
    uint64_t framesReceived() const { return frames_.load(std::memory_order_relaxed); }

private:
    static constexpr int kBuffers = 3;
    static constexpr int kNone = -1;

    void EndLease();

    std::array<std::unique_ptr<uint8_t[]>, kBuffers> buffers_;
    std::atomic<uint64_t> frames_{0};

    // --- guarded by lock_ (held only to pick buffers, never while copying)
    std::mutex lock_;
    int latest_ = kNone;
    int pinned_ = kNone;
    int pins_ = 0;
    std::shared_ptr<const std::function<void()>> frameCallback_;
    std::shared_ptr<PictureTap> tap_;
};

}  // namespace ovistra::media
