#include "media_types.h"

#include <algorithm>
#include <cstddef>

namespace fieldmend {

bool IsPackedSubtype(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY;
}

bool IsPlanarSubtype(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_IYUV || subtype == MEDIASUBTYPE_I420 ||
           subtype == MEDIASUBTYPE_YV12;
}

namespace {

template <class Block>
VideoFormat FromBlock(const Block& block) {
    return {block.rcSource, block.rcTarget, block.bmiHeader};
}

}  // namespace

std::optional<VideoFormat> ReadVideoFormat(const MediaType& type) {
    if (type.formattype == FORMAT_VideoInfo) {
        if (auto block = ReadFormat<VideoInfoHeader>(type)) {
            return FromBlock(*block);
        }
    } else if (type.formattype == FORMAT_VideoInfo2) {
        if (auto block = ReadFormat<VideoInfoHeader2>(type)) {
            return FromBlock(*block);
        }
    }
    return std::nullopt;
}

bool WriteBitmapHeader(MediaType* type, const BitmapInfoHeader& header) {
    size_t offset = 0;
    if (type->formattype == FORMAT_VideoInfo && type->format.size() >= sizeof(VideoInfoHeader)) {
        offset = offsetof(VideoInfoHeader, bmiHeader);
    } else if (type->formattype == FORMAT_VideoInfo2 &&
               type->format.size() >= sizeof(VideoInfoHeader2)) {
        offset = offsetof(VideoInfoHeader2, bmiHeader);
    } else {
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(&header);
    std::copy(bytes, bytes + sizeof(header), type->format.begin() + offset);
    return true;
}

MediaType MakeVideoType(const Guid& subtype, int32_t strideWidth, int32_t height,
                        const Guid& formatType) {
    const bool packed = IsPackedSubtype(subtype);
    BitmapInfoHeader header;
    header.biWidth = strideWidth;
    header.biHeight = height;
    header.biBitCount = packed ? 16 : 12;
    header.biCompression = subtype.data1;
    const int64_t lines = height < 0 ? -static_cast<int64_t>(height) : height;
    const int64_t bytes =
        packed ? int64_t{strideWidth} * lines * 2 : int64_t{strideWidth} * lines * 3 / 2;
    header.biSizeImage = static_cast<uint32_t>(std::clamp<int64_t>(bytes, 0, UINT32_MAX));

    MediaType type;
    type.majortype = MEDIATYPE_Video;
    type.subtype = subtype;
    type.lSampleSize = header.biSizeImage;
    if (formatType == FORMAT_VideoInfo2) {
        VideoInfoHeader2 block;
        block.bmiHeader = header;
        type.SetFormat(formatType, block);
    } else {
        VideoInfoHeader block;
        block.bmiHeader = header;
        type.SetFormat(FORMAT_VideoInfo, block);
    }
    return type;
}

}  // namespace fieldmend
