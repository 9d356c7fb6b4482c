// The deinterlace filter: takes YUY2, UYVY, IYUV, I420 or YV12 video, offers outputs of the same
// family, and turns every woven frame into a line-blended progressive one of the same size,
// reordering the components on the way when the output's order differs from the input's.
//
// Not thread-safe; see CTransformFilter.
#pragma once

#include <cstdint>

#include "media_types.h"
#include "transform_filter.h"

namespace fieldmend {

// Wide, so the difference of any two rectangle edges fits.
struct FrameSize {
    int64_t width = 0;
    int64_t height = 0;
};

class CDeinterlaceFilter : public CTransformFilter {
public:
    CDeinterlaceFilter() = default;

    // The class factory's create function: null, and E_OUTOFMEMORY in *result, when the object
    // cannot be allocated; *result is left alone otherwise.
    static CDeinterlaceFilter* CreateInstance(HRESULT* result);

    HRESULT Transform(MediaSample* in, MediaSample* out) override;
    HRESULT CheckInputType(const MediaType* in) override;
    HRESULT CheckTransform(const MediaType* in, const MediaType* out) override;
    HRESULT DecideBufferSize(MemAllocator* allocator, AllocatorProperties* properties) override;
    HRESULT GetMediaType(int position, MediaType* type) override;
    HRESULT StartStreaming() override;
    HRESULT BreakConnect(PinDirection direction) override;

    // One frame from a tightly packed input (lines of the visible width) to an output whose
    // lines are m_nStride pixels long; the chroma planes of a planar output follow its luma at
    // that stride and half of it.
    HRESULT DeinterlacePacked(const uint8_t* src, uint8_t* dst);
    HRESULT DeinterlacePlanar(const uint8_t* src, uint8_t* dst);

    // The size of the source (target) rectangle, or of the bitmap when the rectangle is empty.
    // The height keeps the bitmap's sign.
    static FrameSize GetSourceSize(const VideoInfoHeader& block);
    static FrameSize GetSourceSize(const VideoInfoHeader2& block);
    static FrameSize GetTargetSize(const VideoInfoHeader& block);
    static FrameSize GetTargetSize(const VideoInfoHeader2& block);

    // The geometry and kernel choice streaming runs with (0 while unknown).
    struct StreamState {
        int32_t width = 0;
        int32_t height = 0;
        int32_t stride = 0;
        bool packed = false;
        bool swap = false;
    };
    StreamState GetStreamState() const {
        return {m_nWidth, m_nHeight, m_nStride, m_bPacked, m_bSwap};
    }

private:
    HRESULT AdoptOutputType(const MediaType& type);
    // The planes of a frame laid out whole from base, lines stridePixels apart: the input is
    // tight (the width), the output at m_nStride.
    FramePlanes PlanesAt(uint8_t* base, int32_t stridePixels, bool packed) const;
    bool Covers(const FramePlanes& planes) const;
    void Deinterlace(const FramePlanes& src, const FramePlanes& dst, bool packed) const;

    bool m_bPacked = false;
    bool m_bSwap = false;
    int32_t m_nWidth = 0;
    int32_t m_nHeight = 0;
    int32_t m_nStride = 0;
};

}  // namespace fieldmend
