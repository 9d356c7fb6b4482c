// A grey plane for the vigimot tests: a descriptor over a guarded buffer, so any access past
// the plane's last byte crashes.
#pragma once

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "guarded_buffer.h"
#include "vigimot.h"

// Found by argument lookup, so they stand beside the C types in the global namespace.
inline bool operator==(const Rect16& a, const Rect16& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
inline std::ostream& operator<<(std::ostream& os, const Rect16& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace vigimot_test {

class TestPlane {
public:
    TestPlane(int width, int height, uint8_t fill = 0)
        : buffer_(width > 0 && height > 0 ? static_cast<size_t>(width) * height : 0, fill),
          image_{buffer_.data(), static_cast<int16_t>(width), static_cast<int16_t>(height)} {}

    ImageBuf* image() { return &image_; }
    const ImageBuf* image() const { return &image_; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint8_t* data() { return buffer_.data(); }
    size_t bytes() const { return buffer_.size(); }
    uint8_t& at(int x, int y) { return buffer_[static_cast<size_t>(y) * width_ + x]; }
    uint8_t at(int x, int y) const { return buffer_[static_cast<size_t>(y) * width_ + x]; }

    void FillRect(int x, int y, int w, int h, uint8_t value) {
        for (int r = y; r < y + h; ++r) {
            for (int c = x; c < x + w; ++c) {
                at(c, r) = value;
            }
        }
    }

    void FillRandom(std::mt19937& rng) {
        for (size_t i = 0; i < bytes(); ++i) {
            buffer_[i] = static_cast<uint8_t>(rng());
        }
    }

    std::vector<uint8_t> Bytes() const {
        return std::vector<uint8_t>(buffer_.data(), buffer_.data() + buffer_.size());
    }

private:
    testsupport::GuardedBuffer buffer_;
    ImageBuf image_;
    int width_ = image_.width;
    int height_ = image_.height;
};

}  // namespace vigimot_test
