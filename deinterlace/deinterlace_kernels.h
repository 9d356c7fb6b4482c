// The line-blend deinterlace kernels of Fieldmend. Every interior line becomes
// (above + 2 * line + below + 2) >> 2 per byte; the first and last lines are copied. Planes are
// given as pointer and stride each, so padded and offset planes need no copies. The dispatching
// entry points pick the fastest variant the CPU allows (simd::Features()); the _C variants are
// the references every other variant matches byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fieldmend {

// --- line kernels, variants side by side
void FilterLine_C(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                  int bytes);
void FilterLine_SSE2(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                     int bytes);
void FilterLine_AVX2(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                     int bytes);

// The same, with the two bytes of every 16-bit pair exchanged on the store (YUY2 <-> UYVY).
void FilterLineSwap_C(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                      int bytes);
void FilterLineSwap_SSE2(uint8_t* dst, const uint8_t* above, const uint8_t* line,
                         const uint8_t* below, int bytes);
void FilterLineSwap_AVX2(uint8_t* dst, const uint8_t* above, const uint8_t* line,
                         const uint8_t* below, int bytes);

// A copy with the bytes of every pair exchanged (bytes even).
void CopyLineSwap_C(uint8_t* dst, const uint8_t* src, int bytes);
void CopyLineSwap_SSE2(uint8_t* dst, const uint8_t* src, int bytes);
void CopyLineSwap_AVX2(uint8_t* dst, const uint8_t* src, int bytes);

// Two interior lines in one pass: output rows dst and dst + dstStride from input rows
// src - srcStride .. src + 2 * srcStride, each input row loaded once for both (the frame
// functions' main loop; the single-line kernels take an odd row left over).
void FilterLinePair_C(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                      int bytes);
void FilterLinePair_SSE2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                         int bytes);
void FilterLinePair_AVX2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                         int bytes);
void FilterLinePairSwap_C(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                          ptrdiff_t srcStride, int bytes);
void FilterLinePairSwap_SSE2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                             ptrdiff_t srcStride, int bytes);
void FilterLinePairSwap_AVX2(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src,
                             ptrdiff_t srcStride, int bytes);

// --- dispatching entry points
void FilterLine(uint8_t* dst, const uint8_t* above, const uint8_t* line, const uint8_t* below,
                int bytes);

// A packed 4:2:2 frame (YUY2 or UYVY): height lines of 2 * width bytes.
struct PackedPlane {
    const uint8_t* data;
    ptrdiff_t stride;
};
struct PackedPlaneOut {
    uint8_t* data;
    ptrdiff_t stride;
};

// Deinterlaces width x height (height >= 2); with swap the output has the other byte order.
// Bytes of an output line beyond 2 * width are not touched.
void DeinterlacePacked(PackedPlane src, PackedPlaneOut dst, int width, int height, bool swap);

// A planar 4:2:0 frame: plane 0 luma (width x height), planes 1 and 2 chroma
// (width / 2 x height / 2), in the frame's own order (U, V for I420; V, U for YV12).
struct PlanarFrame {
    const uint8_t* plane[3];
    ptrdiff_t stride[3];
};
struct PlanarFrameOut {
    uint8_t* plane[3];
    ptrdiff_t stride[3];
};

// Luma is deinterlaced, chroma copied; with swap the two chroma planes change places.
void DeinterlacePlanar(const PlanarFrame& src, const PlanarFrameOut& dst, int width, int height,
                       bool swap);

}  // namespace fieldmend
