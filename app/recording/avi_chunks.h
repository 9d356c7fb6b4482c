// The chunk names and byte helpers the AVI scan and repair share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ovistra::avi {

constexpr uint32_t FourCc(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
           uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

constexpr uint32_t kRiff = FourCc("RIFF");
constexpr uint32_t kAvi = FourCc("AVI ");
constexpr uint32_t kAvix = FourCc("AVIX");
constexpr uint32_t kList = FourCc("LIST");
constexpr uint32_t kMovi = FourCc("movi");
constexpr uint32_t kIdx1 = FourCc("idx1");
constexpr uint32_t kIndx = FourCc("indx");
constexpr uint32_t kJunk = FourCc("JUNK");
constexpr uint32_t kVids = FourCc("vids");
// The writer's own index flags: a picture chunk is 0x02, a key picture 0x12, sound 0.
constexpr uint32_t kPictureChunk = 0x02;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kHasIndex = 0x10;
// The header of a large-file index: its entries follow.
constexpr uint32_t kSuperIndexHeader = 24;
constexpr uint32_t kSuperIndexEntry = 16;

inline uint32_t GetU32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline void PutU32(uint8_t* into, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        into[i] = uint8_t(value >> (8 * i));
    }
}

inline uint64_t Padded(uint32_t size) {
    return uint64_t(size) + (size & 1u);
}

// The stream a chunk id names by its two leading digits ("00db", "01wb", "ix00" read from its
// third letter): -1 when they are no digits.
inline int StreamDigits(uint32_t id, int shift) {
    const char c0 = char((id >> shift) & 0xFF);
    const char c1 = char((id >> (shift + 8)) & 0xFF);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') {
        return -1;
    }
    return (c0 - '0') * 10 + (c1 - '0');
}

// "ix00", "ix01": a part's standard index of a stream.
inline int IndexedStream(uint32_t id) {
    return (id & 0xFFFF) == (uint32_t('i') | uint32_t('x') << 8) ? StreamDigits(id, 16) : -1;
}

}  // namespace ovistra::avi
