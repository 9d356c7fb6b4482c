// Test buffers that sit against inaccessible pages, so a read or write past either end
// crashes the test instead of passing silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace testsupport {

// What a test fills a destination with, to see which bytes a call wrote.
inline constexpr uint8_t kCanary = 0xA5;

class GuardedBuffer {
public:
    // `bytes` usable bytes; the last one lies right before a guard page, and a guard page
    // also lies before the start of the page that holds the first.
    explicit GuardedBuffer(size_t bytes, uint8_t fill = 0);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return bytes_; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    uint8_t operator[](size_t i) const { return data_[i]; }

private:
    uint8_t* mapping_ = nullptr;
    size_t mappingBytes_ = 0;
    uint8_t* data_ = nullptr;
    size_t bytes_ = 0;
};

}  // namespace testsupport
