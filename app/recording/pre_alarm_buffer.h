// One watched camera's pictures of the last few seconds, so that an alarm's recording can
// begin before the alarm. Every picture the camera's grabber stores is copied in with its
// capture time; the oldest give way once they are older than the span or the count is full.
// Buffers are kept and reused: memory grows to what the span holds at the camera's picture
// rate, then stays there until the buffer ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "frame_grabber.h"

namespace ovistra {

class PreAlarmBuffer;

// Pictures lent out of a buffer, oldest first; they stay whole until the clip ends and then
// go back to the buffer for reuse. UI thread.
class PreAlarmClip {
public:
    using Clock = std::chrono::steady_clock;
    struct Picture {
        const uint8_t* frame = nullptr;  // 640x480 YUY2
        Clock::time_point captured;
    };

    PreAlarmClip() = default;
    PreAlarmClip(PreAlarmClip&& other) noexcept = default;
    PreAlarmClip& operator=(PreAlarmClip&& other) noexcept;
    ~PreAlarmClip();

    const std::vector<Picture>& pictures() const { return pictures_; }
    bool empty() const { return pictures_.empty(); }
    // When the clip was taken: its pictures end there and live pictures go on.
    Clock::time_point taken() const { return taken_; }

private:
    friend class PreAlarmBuffer;
    void GiveBack();

    std::shared_ptr<PreAlarmBuffer> owner_;
    std::vector<int> slots_;
    std::vector<Picture> pictures_;
    Clock::time_point taken_;
};

class PreAlarmBuffer : public media::PictureTap,
                       public std::enable_shared_from_this<PreAlarmBuffer> {
public:
    using Clock = PreAlarmClip::Clock;

    // Pictures of the last `span`, at most `maxPictures` of them.
    PreAlarmBuffer(std::chrono::milliseconds span, size_t maxPictures);
    PreAlarmBuffer(const PreAlarmBuffer&) = delete;
    PreAlarmBuffer& operator=(const PreAlarmBuffer&) = delete;

    // --- the streaming thread, one picture at a time
    void OnPicture(const uint8_t* frame) override { Store(frame, Clock::now()); }
    // Pictures must come in the order of their times.
    void Store(const uint8_t* frame, Clock::time_point captured);

    // --- UI thread
    // The pictures of the span before `now`, lent out of the buffer, which goes on with the
    // pictures that come after. Only for a buffer owned by a shared pointer.
    PreAlarmClip Take(Clock::time_point now);

    // Thread-safe.
    size_t pictureCount() const;
    size_t bytesHeld() const;

private:
    friend class PreAlarmClip;
    // Makes the oldest kept picture's slot free.
    void DropOldest();
    void DropOlderThan(Clock::time_point limit);
    void GiveBack(const std::vector<int>& slots);

    const std::chrono::milliseconds span_;
    const size_t maxPictures_;
    // Made once at the full count and never resized, so a slot is written without the lock
    // while it is neither kept nor free.
    std::vector<std::unique_ptr<uint8_t[]>> slots_;

    // --- guarded by lock_ (held only to pick and file slots, never while copying)
    mutable std::mutex lock_;
    std::vector<Clock::time_point> captured_;  // per slot
    std::vector<int> kept_;                    // slots in capture order, a ring from first_
    size_t first_ = 0;
    size_t count_ = 0;
    std::vector<int> free_;
    size_t made_ = 0;  // slots with memory
};

}  // namespace ovistra
