#include "pre_alarm_buffer.h"

#include <cstring>

#include "capture_device.h"

namespace ovistra {

PreAlarmClip& PreAlarmClip::operator=(PreAlarmClip&& other) noexcept {
    if (this != &other) {
        GiveBack();
        owner_ = std::move(other.owner_);
        slots_ = std::move(other.slots_);
        pictures_ = std::move(other.pictures_);
        taken_ = other.taken_;
        other.slots_.clear();
        other.pictures_.clear();
    }
    return *this;
}

PreAlarmClip::~PreAlarmClip() {
    GiveBack();
}

void PreAlarmClip::GiveBack() {
    if (owner_) {
        owner_->GiveBack(slots_);
    }
    owner_.reset();
    slots_.clear();
    pictures_.clear();
}

PreAlarmBuffer::PreAlarmBuffer(std::chrono::milliseconds span, size_t maxPictures)
    : span_(span),
      maxPictures_(maxPictures),
      slots_(maxPictures),
      captured_(maxPictures),
      kept_(maxPictures) {
    free_.reserve(maxPictures);
}

void PreAlarmBuffer::DropOldest() {
    free_.push_back(kept_[first_]);
    first_ = (first_ + 1) % maxPictures_;
    --count_;
}

void PreAlarmBuffer::DropOlderThan(Clock::time_point limit) {
    while (count_ > 0 && captured_[kept_[first_]] < limit) {
        DropOldest();
    }
}

void PreAlarmBuffer::Store(const uint8_t* frame, Clock::time_point captured) {
    if (frame == nullptr || maxPictures_ == 0) {
        return;
    }
    int slot = -1;
    bool unmade = false;
    {
        std::lock_guard guard(lock_);
        DropOlderThan(captured - span_);
        if (count_ == maxPictures_) {
            DropOldest();
        }
        if (free_.empty() && made_ < maxPictures_) {
            slot = static_cast<int>(made_++);
            unmade = true;
        } else {
            if (free_.empty()) {
                if (count_ == 0) {
                    return;  // every slot is lent to a clip
                }
                DropOldest();
            }
            slot = free_.back();
            free_.pop_back();
        }
    }
    // The slot is neither kept nor free now: no one else looks at it.
    if (unmade) {
        slots_[slot] = std::make_unique_for_overwrite<uint8_t[]>(media::kFrameBytes);
    }
    std::memcpy(slots_[slot].get(), frame, media::kFrameBytes);
    std::lock_guard guard(lock_);
    captured_[slot] = captured;
    kept_[(first_ + count_) % maxPictures_] = slot;
    ++count_;
}

PreAlarmClip PreAlarmBuffer::Take(Clock::time_point now) {
    PreAlarmClip clip;
    clip.taken_ = now;
    std::lock_guard guard(lock_);
    DropOlderThan(now - span_);
    clip.slots_.reserve(count_);
    clip.pictures_.reserve(count_);
    // A picture stored since `now` was read belongs to what comes after.
    while (count_ > 0 && captured_[kept_[first_]] <= now) {
        const int slot = kept_[first_];
        clip.slots_.push_back(slot);
        clip.pictures_.push_back({slots_[slot].get(), captured_[slot]});
        first_ = (first_ + 1) % maxPictures_;
        --count_;
    }
    if (!clip.slots_.empty()) {
        clip.owner_ = shared_from_this();
    }
    return clip;
}

void PreAlarmBuffer::GiveBack(const std::vector<int>& slots) {
    std::lock_guard guard(lock_);
    free_.insert(free_.end(), slots.begin(), slots.end());
}

size_t PreAlarmBuffer::pictureCount() const {
    std::lock_guard guard(lock_);
    return count_;
}

size_t PreAlarmBuffer::bytesHeld() const {
    std::lock_guard guard(lock_);
    return made_ * media::kFrameBytes;
}

}  // namespace ovistra
