#include "deinterlace_filter.h"

#include <algorithm>
#include <limits>
#include <new>

#include "deinterlace_kernels.h"

namespace fieldmend {

namespace {

constexpr int64_t kMaxFrameBytes = std::numeric_limits<int32_t>::max();

int64_t Magnitude(int64_t value) {
    return value < 0 ? -value : value;
}

// Bytes of a frame with lines of `stride` pixels: 2 per pixel packed, 1.5 planar.
int64_t FrameBytes(int64_t stride, int64_t height, bool packed) {
    return packed ? stride * height * 2 : stride * height * 3 / 2;
}

FrameSize RectOrBitmap(const Rect& rect, const BitmapInfoHeader& header) {
    if (rect.IsEmpty()) {
        return {header.biWidth, header.biHeight};
    }
    return {int64_t{rect.right} - rect.left, int64_t{rect.bottom} - rect.top};
}

bool IsVideoFormatType(const Guid& formatType) {
    return formatType == FORMAT_VideoInfo || formatType == FORMAT_VideoInfo2;
}

bool SameFamily(const Guid& a, const Guid& b) {
    return (IsPackedSubtype(a) && IsPackedSubtype(b)) || (IsPlanarSubtype(a) && IsPlanarSubtype(b));
}

// Packed outputs swap the bytes of each pair when the order differs; planar ones swap the
// chroma planes when exactly one side keeps V first.
bool SwapFor(const Guid& in, const Guid& out) {
    if (IsPackedSubtype(out)) {
        return !(in == out);
    }
    return (in == MEDIASUBTYPE_YV12) != (out == MEDIASUBTYPE_YV12);
}

}  // namespace

CDeinterlaceFilter* CDeinterlaceFilter::CreateInstance(HRESULT* result) {
    auto* filter = new (std::nothrow) CDeinterlaceFilter();
    if (filter == nullptr && result != nullptr) {
        *result = E_OUTOFMEMORY;
    }
    return filter;
}

// --- size helpers

FrameSize CDeinterlaceFilter::GetSourceSize(const VideoInfoHeader& block) {
    return RectOrBitmap(block.rcSource, block.bmiHeader);
}

FrameSize CDeinterlaceFilter::GetSourceSize(const VideoInfoHeader2& block) {
    return RectOrBitmap(block.rcSource, block.bmiHeader);
}

FrameSize CDeinterlaceFilter::GetTargetSize(const VideoInfoHeader& block) {
    return RectOrBitmap(block.rcTarget, block.bmiHeader);
}

FrameSize CDeinterlaceFilter::GetTargetSize(const VideoInfoHeader2& block) {
    return RectOrBitmap(block.rcTarget, block.bmiHeader);
}

// --- connection

HRESULT CDeinterlaceFilter::CheckInputType(const MediaType* in) {
    if (in == nullptr) {
        return E_POINTER;
    }
    if (!(in->majortype == MEDIATYPE_Video) || !IsVideoFormatType(in->formattype) ||
        in->lSampleSize == 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const std::optional<VideoFormat> format = ReadVideoFormat(*in);
    if (!format) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const FrameSize size = RectOrBitmap(format->rcSource, format->bmiHeader);
    const int64_t width = size.width;
    const int64_t height = Magnitude(size.height);
    const bool packed = IsPackedSubtype(in->subtype);
    if (!packed && !IsPlanarSubtype(in->subtype)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const int64_t widthUnit = packed ? 4 : 8;
    if (width <= 0 || height <= 0 || width % widthUnit != 0 || height % 2 != 0 ||
        FrameBytes(width, height, packed) > kMaxFrameBytes) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CDeinterlaceFilter::CheckTransform(const MediaType* in, const MediaType* out) {
    if (in == nullptr || out == nullptr) {
        return E_POINTER;
    }
    if (!(out->majortype == MEDIATYPE_Video) || !IsVideoFormatType(out->formattype)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const std::optional<VideoFormat> inFormat = ReadVideoFormat(*in);
    const std::optional<VideoFormat> outFormat = ReadVideoFormat(*out);
    if (!inFormat || !outFormat) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const FrameSize source = RectOrBitmap(inFormat->rcSource, inFormat->bmiHeader);
    const FrameSize target = RectOrBitmap(outFormat->rcTarget, outFormat->bmiHeader);
    if (source.width != target.width || Magnitude(source.height) != Magnitude(target.height)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The kernels only convert within a family, and write whole lines at the output's stride.
    if (!SameFamily(in->subtype, out->subtype)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const int64_t stride = outFormat->bmiHeader.biWidth;
    if (stride < target.width || FrameBytes(stride, Magnitude(target.height),
                                            IsPackedSubtype(out->subtype)) > kMaxFrameBytes) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT CDeinterlaceFilter::GetMediaType(int position, MediaType* type) {
    if (type == nullptr) {
        return E_POINTER;
    }
    if (position < 0) {
        return E_INVALIDARG;
    }
    if (position > 2) {
        return VFW_S_NO_MORE_ITEMS;
    }
    const HRESULT hr = ConnectionMediaType(PINDIR_INPUT, type);
    if (Failed(hr)) {
        return hr;
    }
    if (position == 0) {
        return S_OK;
    }
    const std::optional<VideoFormat> format = ReadVideoFormat(*type);
    if (!format) {
        return E_UNEXPECTED;
    }
    BitmapInfoHeader header = format->bmiHeader;
    Guid subtype;
    if (position == 1) {
        if (type->subtype == MEDIASUBTYPE_UYVY) {
            subtype = MEDIASUBTYPE_YUY2;
        } else if (type->subtype == MEDIASUBTYPE_YUY2) {
            subtype = MEDIASUBTYPE_UYVY;
        } else if (type->subtype == MEDIASUBTYPE_I420) {
            subtype = MEDIASUBTYPE_IYUV;
        } else if (type->subtype == MEDIASUBTYPE_YV12) {
            subtype = MEDIASUBTYPE_YV12;
        } else {
            subtype = MEDIASUBTYPE_I420;
        }
        if (!IsPackedSubtype(subtype)) {
            header.biBitCount = 12;
        }
    } else {
        if (!IsPlanarSubtype(type->subtype)) {
            return VFW_S_NO_MORE_ITEMS;
        }
        subtype = MEDIASUBTYPE_YV12;
        header.biBitCount = 12;
    }
    type->subtype = subtype;
    header.biCompression = subtype.data1;
    WriteBitmapHeader(type, header);
    return S_OK;
}

HRESULT CDeinterlaceFilter::DecideBufferSize(MemAllocator* allocator,
                                             AllocatorProperties* properties) {
    if (allocator == nullptr || properties == nullptr) {
        return E_POINTER;
    }
    MediaType out;
    HRESULT hr = ConnectionMediaType(PINDIR_OUTPUT, &out);
    if (Failed(hr)) {
        return hr;
    }
    const std::optional<VideoFormat> format = ReadVideoFormat(out);
    if (!format) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const FrameSize target = RectOrBitmap(format->rcTarget, format->bmiHeader);
    const int64_t height = Magnitude(target.height);
    // Lines are written at the stride, so buffers are sized by it.
    const int64_t stride = std::max<int64_t>(target.width, format->bmiHeader.biWidth);
    const int64_t bytes = FrameBytes(stride, height, IsPackedSubtype(out.subtype));
    if (target.width <= 0 || height <= 0 || bytes > kMaxFrameBytes) {
        return E_FAIL;
    }
    properties->cbBuffer = static_cast<int32_t>(bytes);
    if (properties->cBuffers == 0) {
        properties->cBuffers = 1;
    }
    if (properties->cbAlign == 0) {
        properties->cbAlign = 1;
    }
    AllocatorProperties actual;
    hr = allocator->SetProperties(properties, &actual);
    if (Failed(hr)) {
        return hr;
    }
    return actual.cbBuffer < bytes ? E_FAIL : S_OK;
}

HRESULT CDeinterlaceFilter::StartStreaming() {
    const MediaType* in = InputType();
    const MediaType* out = OutputType();
    if (in == nullptr || out == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    if (m_nWidth == 0 || m_nHeight == 0 || m_nStride == 0) {
        const std::optional<VideoFormat> format = ReadVideoFormat(*out);
        if (!format) {
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
        const FrameSize target = RectOrBitmap(format->rcTarget, format->bmiHeader);
        const int64_t height = Magnitude(target.height);
        const int64_t stride = format->bmiHeader.biWidth;
        if (target.width <= 0 || height < 2 || stride < target.width ||
            FrameBytes(stride, height, IsPackedSubtype(out->subtype)) > kMaxFrameBytes) {
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
        m_nWidth = static_cast<int32_t>(target.width);
        m_nHeight = static_cast<int32_t>(height);
        m_nStride = static_cast<int32_t>(stride);
    }
    m_bPacked = IsPackedSubtype(out->subtype);
    m_bSwap = SwapFor(in->subtype, out->subtype);
    return S_OK;
}

HRESULT CDeinterlaceFilter::BreakConnect(PinDirection direction) {
    m_nWidth = 0;
    m_nHeight = 0;
    m_nStride = 0;
    return CTransformFilter::BreakConnect(direction);
}

// --- streaming

HRESULT CDeinterlaceFilter::AdoptOutputType(const MediaType& type) {
    const std::optional<VideoFormat> format = ReadVideoFormat(type);
    if (!format) {
        return E_FAIL;
    }
    if (m_bPacked ? !IsPackedSubtype(type.subtype) : !IsPlanarSubtype(type.subtype)) {
        return E_FAIL;
    }
    // The frame read is still the input's, so only the stride and the order may change.
    const int64_t stride = format->bmiHeader.biWidth;
    if (stride < m_nWidth || FrameBytes(stride, m_nHeight, m_bPacked) > kMaxFrameBytes) {
        return E_FAIL;
    }
    const MediaType* in = InputType();
    if (in == nullptr) {
        return VFW_E_NOT_CONNECTED;
    }
    m_nStride = static_cast<int32_t>(stride);
    m_bSwap = SwapFor(in->subtype, type.subtype);
    ReplaceOutputType(type);
    return S_OK;
}

FramePlanes CDeinterlaceFilter::PlanesAt(uint8_t* base, int32_t stridePixels, bool packed) const {
    FramePlanes planes;
    planes.width = m_nWidth;
    planes.height = m_nHeight;
    if (packed) {
        planes.count = 1;
        planes.data[0] = base;
        planes.strideBytes[0] = ptrdiff_t{stridePixels} * 2;
        return planes;
    }
    // Chroma planes follow the luma plane directly, each at half the luma's pitch.
    const ptrdiff_t lumaBytes = ptrdiff_t{stridePixels} * m_nHeight;
    const ptrdiff_t chromaBytes = ptrdiff_t{m_nHeight / 2} * (stridePixels / 2);
    planes.count = 3;
    planes.data[0] = base;
    planes.data[1] = base + lumaBytes;
    planes.data[2] = base + lumaBytes + chromaBytes;
    planes.strideBytes[0] = stridePixels;
    planes.strideBytes[1] = stridePixels / 2;
    planes.strideBytes[2] = stridePixels / 2;
    return planes;
}

bool CDeinterlaceFilter::Covers(const FramePlanes& planes) const {
    if (planes.count != (m_bPacked ? 1 : 3) || planes.width < m_nWidth ||
        planes.height < m_nHeight) {
        return false;
    }
    for (int i = 0; i < planes.count; ++i) {
        const ptrdiff_t rowBytes = m_bPacked ? ptrdiff_t{m_nWidth} * 2
                                   : i == 0  ? ptrdiff_t{m_nWidth}
                                             : ptrdiff_t{m_nWidth / 2};
        if (planes.data[i] == nullptr || planes.strideBytes[i] < rowBytes) {
            return false;
        }
    }
    return true;
}

void CDeinterlaceFilter::Deinterlace(const FramePlanes& src, const FramePlanes& dst,
                                     bool packed) const {
    if (packed) {
        ::fieldmend::DeinterlacePacked({src.data[0], src.strideBytes[0]},
                                       {dst.data[0], dst.strideBytes[0]}, m_nWidth, m_nHeight,
                                       m_bSwap);
        return;
    }
    const PlanarFrame in = {{src.data[0], src.data[1], src.data[2]},
                            {src.strideBytes[0], src.strideBytes[1], src.strideBytes[2]}};
    const PlanarFrameOut out = {{dst.data[0], dst.data[1], dst.data[2]},
                                {dst.strideBytes[0], dst.strideBytes[1], dst.strideBytes[2]}};
    ::fieldmend::DeinterlacePlanar(in, out, m_nWidth, m_nHeight, m_bSwap);
}

HRESULT CDeinterlaceFilter::DeinterlacePacked(const uint8_t* src, uint8_t* dst) {
    Deinterlace(PlanesAt(const_cast<uint8_t*>(src), m_nWidth, true), PlanesAt(dst, m_nStride, true),
                true);
    return S_OK;
}

HRESULT CDeinterlaceFilter::DeinterlacePlanar(const uint8_t* src, uint8_t* dst) {
    Deinterlace(PlanesAt(const_cast<uint8_t*>(src), m_nWidth, false),
                PlanesAt(dst, m_nStride, false), false);
    return S_OK;
}

HRESULT CDeinterlaceFilter::Transform(MediaSample* in, MediaSample* out) {
    if (in == nullptr || out == nullptr) {
        return E_POINTER;
    }
    uint8_t* src = nullptr;
    uint8_t* dst = nullptr;
    HRESULT hr = in->GetPointer(&src);
    if (Failed(hr)) {
        return hr;
    }
    hr = out->GetPointer(&dst);
    if (Failed(hr)) {
        return hr;
    }

    MediaType announced;
    hr = out->GetMediaType(&announced);
    if (Failed(hr)) {
        return hr;
    }
    if (hr == S_OK) {
        hr = AdoptOutputType(announced);
        if (Failed(hr)) {
            return hr;
        }
    }
    if (m_nWidth <= 0 || m_nHeight < 2 || m_nStride < m_nWidth) {
        return VFW_E_WRONG_STATE;
    }

    FramePlanes srcPlanes;
    if (in->GetPlanes(&srcPlanes)) {
        if (!Covers(srcPlanes)) {
            return VFW_E_BUFFER_UNDERFLOW;
        }
    } else {
        if (in->GetActualDataLength() < FrameBytes(m_nWidth, m_nHeight, m_bPacked)) {
            return VFW_E_BUFFER_UNDERFLOW;
        }
        srcPlanes = PlanesAt(src, m_nWidth, m_bPacked);
    }
    const int64_t outBytes = FrameBytes(m_nStride, m_nHeight, m_bPacked);
    FramePlanes dstPlanes;
    if (out->GetPlanes(&dstPlanes)) {
        if (!Covers(dstPlanes)) {
            return VFW_E_BUFFER_OVERFLOW;
        }
    } else {
        if (out->GetSize() < outBytes) {
            return VFW_E_BUFFER_OVERFLOW;
        }
        dstPlanes = PlanesAt(dst, m_nStride, m_bPacked);
    }
    Deinterlace(srcPlanes, dstPlanes, m_bPacked);

    hr = out->SetActualDataLength(static_cast<int32_t>(outBytes));
    if (Failed(hr)) {
        return hr;
    }
    ReferenceTime start = 0;
    ReferenceTime stop = 0;
    hr = in->GetTime(&start, &stop);
    if (hr == S_OK) {
        out->SetTime(&start, &stop);
    } else if (hr == VFW_S_NO_STOP_TIME) {
        out->SetTime(&start, nullptr);
    } else if (hr != VFW_E_SAMPLE_TIME_NOT_SET) {
        return hr;
    }
    // A frame without time stamps goes on without them, as the pipeline's convention is.
    out->SetSyncPoint(true);
    return S_OK;
}

}  // namespace fieldmend
