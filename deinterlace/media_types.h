// The media types the deinterlace filter reads and writes: result codes, type identifiers, the
// two video format block layouts and their bitmap header. Plain values with the standard numbers,
// so types built by the GStreamer element and by tests look alike.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace fieldmend {

// --- result codes
using HRESULT = int32_t;

constexpr HRESULT MakeResult(uint32_t code) {
    return static_cast<HRESULT>(code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFFu);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeResult(0x00040103u);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = MakeResult(0x00040270u);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeResult(0x80040204u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeResult(0x80040209u);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeResult(0x8004020Du);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeResult(0x80040224u);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeResult(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeResult(0x8004022Au);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeResult(0x80040249u);
inline constexpr HRESULT VFW_E_BUFFER_UNDERFLOW = MakeResult(0x80040264u);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

// --- identifiers
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
};

// A little-endian FOURCC code, as bitmap headers store it.
constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// The subtype of a FOURCC format: the code followed by the fixed tail 0000-0010-8000-00AA00389B71.
constexpr Guid FourccGuid(uint32_t fourcc) {
    return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

inline constexpr uint32_t kFourccYUY2 = MakeFourcc('Y', 'U', 'Y', '2');
inline constexpr uint32_t kFourccUYVY = MakeFourcc('U', 'Y', 'V', 'Y');
inline constexpr uint32_t kFourccIYUV = MakeFourcc('I', 'Y', 'U', 'V');
inline constexpr uint32_t kFourccYV12 = MakeFourcc('Y', 'V', '1', '2');
inline constexpr uint32_t kFourccI420 = MakeFourcc('I', '4', '2', '0');

inline constexpr Guid GUID_NULL = {};
inline constexpr Guid MEDIATYPE_Video = FourccGuid(MakeFourcc('v', 'i', 'd', 's'));
inline constexpr Guid MEDIASUBTYPE_YUY2 = FourccGuid(kFourccYUY2);
inline constexpr Guid MEDIASUBTYPE_UYVY = FourccGuid(kFourccUYVY);
inline constexpr Guid MEDIASUBTYPE_IYUV = FourccGuid(kFourccIYUV);
inline constexpr Guid MEDIASUBTYPE_YV12 = FourccGuid(kFourccYV12);
inline constexpr Guid MEDIASUBTYPE_I420 = FourccGuid(kFourccI420);
inline constexpr Guid FORMAT_VideoInfo = {
    0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr Guid FORMAT_VideoInfo2 = {
    0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};

// YUY2, UYVY: one plane of 4:2:2 pixel pairs.
bool IsPackedSubtype(const Guid& subtype);
// IYUV, I420, YV12: three 4:2:0 planes.
bool IsPlanarSubtype(const Guid& subtype);

// --- format blocks (natural layout; the sizes are those every peer of these blocks expects)
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
};

struct BitmapInfoHeader {
    uint32_t biSize = sizeof(BitmapInfoHeader);
    int32_t biWidth = 0;   // pixels; for an output surface, its line length
    int32_t biHeight = 0;  // negative: top-down
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;  // FOURCC
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

using ReferenceTime = int64_t;  // nanoseconds, as the pipeline's clock counts

struct VideoInfoHeader {
    Rect rcSource;
    Rect rcTarget;
    uint32_t dwBitRate = 0;
    uint32_t dwBitErrorRate = 0;
    ReferenceTime AvgTimePerFrame = 0;
    BitmapInfoHeader bmiHeader;
};

struct VideoInfoHeader2 {
    Rect rcSource;
    Rect rcTarget;
    uint32_t dwBitRate = 0;
    uint32_t dwBitErrorRate = 0;
    ReferenceTime AvgTimePerFrame = 0;
    uint32_t dwInterlaceFlags = 0;
    uint32_t dwCopyProtectFlags = 0;
    uint32_t dwPictAspectRatioX = 0;
    uint32_t dwPictAspectRatioY = 0;
    uint32_t dwControlFlags = 0;
    uint32_t dwReserved2 = 0;
    BitmapInfoHeader bmiHeader;
};

static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(VideoInfoHeader) == 88);
static_assert(sizeof(VideoInfoHeader2) == 112);

// --- media type
struct MediaType {
    Guid majortype;
    Guid subtype;
    bool bFixedSizeSamples = true;
    bool bTemporalCompression = false;
    uint32_t lSampleSize = 0;
    Guid formattype;
    std::vector<uint8_t> format;  // the format block; its length is the block's size

    uint32_t cbFormat() const { return static_cast<uint32_t>(format.size()); }

    // Replaces the format block with a copy of `block`.
    template <class Block>
    void SetFormat(const Guid& type, const Block& block) {
        formattype = type;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
        format.assign(bytes, bytes + sizeof(Block));
    }
};

// The block as `Block`, or nothing when the type has no block of at least that size.
template <class Block>
std::optional<Block> ReadFormat(const MediaType& type) {
    if (type.format.size() < sizeof(Block)) {
        return std::nullopt;
    }
    Block block;
    std::memcpy(&block, type.format.data(), sizeof(Block));
    return block;
}

// What the filter reads of either video layout, taken by the layout of the type's format type.
struct VideoFormat {
    Rect rcSource;
    Rect rcTarget;
    BitmapInfoHeader bmiHeader;
};

// Nothing for another format type or a block too small for its layout.
std::optional<VideoFormat> ReadVideoFormat(const MediaType& type);

// Rewrites the bitmap header inside a video block; false when the type has no readable one.
bool WriteBitmapHeader(MediaType* type, const BitmapInfoHeader& header);

// A video type with empty rectangles, as a source or renderer offers it: `strideWidth` pixels per
// line (biWidth), `height` lines (negative: top-down).
MediaType MakeVideoType(const Guid& subtype, int32_t strideWidth, int32_t height,
                        const Guid& formatType = FORMAT_VideoInfo);

}  // namespace fieldmend
