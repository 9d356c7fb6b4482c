#include "fieldmend_caps.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "deinterlace_filter.h"

namespace fieldmend {

namespace {

constexpr GstVideoFormat kKnownFormats[] = {GST_VIDEO_FORMAT_YUY2, GST_VIDEO_FORMAT_UYVY,
                                            GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12};

std::optional<Guid> SubtypeFromVideoFormat(GstVideoFormat format) {
    switch (format) {
        case GST_VIDEO_FORMAT_YUY2:
            return MEDIASUBTYPE_YUY2;
        case GST_VIDEO_FORMAT_UYVY:
            return MEDIASUBTYPE_UYVY;
        case GST_VIDEO_FORMAT_I420:
            return MEDIASUBTYPE_I420;
        case GST_VIDEO_FORMAT_YV12:
            return MEDIASUBTYPE_YV12;
        default:
            return std::nullopt;
    }
}

// The formats a structure names, in its order; every known one when it names none.
std::vector<GstVideoFormat> FormatsOf(const GstStructure* s) {
    std::vector<GstVideoFormat> formats;
    const GValue* value = gst_structure_get_value(s, "format");
    auto add = [&formats](const GValue* v) {
        if (!G_VALUE_HOLDS_STRING(v)) {
            return;
        }
        const GstVideoFormat format = gst_video_format_from_string(g_value_get_string(v));
        if (SubtypeFromVideoFormat(format)) {
            formats.push_back(format);
        }
    };
    if (value == nullptr) {
        formats.assign(std::begin(kKnownFormats), std::end(kKnownFormats));
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            add(gst_value_list_get_value(value, i));
        }
    } else {
        add(value);
    }
    return formats;
}

// A fixed size is the filter's to judge; an open one only sets the order, for which any size
// the filter takes will do.
struct Geometry {
    int width = 8;
    int height = 2;
};

Geometry GeometryOf(const GstStructure* s) {
    Geometry geometry;
    gst_structure_get_int(s, "width", &geometry.width);
    gst_structure_get_int(s, "height", &geometry.height);
    return geometry;
}

MediaType TypeFor(const Guid& subtype, const Geometry& geometry) {
    return MakeVideoType(subtype, geometry.width, geometry.height);
}

const Guid* FamilyOf(const Guid& subtype, size_t* count) {
    static const Guid kPacked[] = {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY};
    static const Guid kPlanar[] = {MEDIASUBTYPE_I420, MEDIASUBTYPE_IYUV, MEDIASUBTYPE_YV12};
    if (IsPackedSubtype(subtype)) {
        *count = std::size(kPacked);
        return kPacked;
    }
    *count = std::size(kPlanar);
    return kPlanar;
}

void AddOnce(std::vector<GstVideoFormat>* formats, GstVideoFormat format) {
    if (format != GST_VIDEO_FORMAT_UNKNOWN &&
        std::find(formats->begin(), formats->end(), format) == formats->end()) {
        formats->push_back(format);
    }
}

// What an input can become: the filter's proposals in their order, then whatever else of the
// family it accepts.
std::vector<GstVideoFormat> OutputsFor(GstVideoFormat input, const Geometry& geometry) {
    std::vector<GstVideoFormat> outputs;
    CDeinterlaceFilter filter;
    const MediaType inType = TypeFor(*SubtypeFromVideoFormat(input), geometry);
    if (filter.ConnectInput(inType) != S_OK) {
        return outputs;
    }
    MediaType proposal;
    for (int position = 0; filter.EnumOutputType(position, &proposal) == S_OK; ++position) {
        AddOnce(&outputs, VideoFormatFromSubtype(proposal.subtype));
    }
    size_t count = 0;
    const Guid* family = FamilyOf(inType.subtype, &count);
    for (size_t i = 0; i < count; ++i) {
        const MediaType outType = TypeFor(family[i], geometry);
        if (filter.CheckTransform(&inType, &outType) == S_OK) {
            AddOnce(&outputs, VideoFormatFromSubtype(family[i]));
        }
    }
    return outputs;
}

// What can make an output: the same format first, then the rest of its family.
std::vector<GstVideoFormat> InputsFor(GstVideoFormat output, const Geometry& geometry) {
    std::vector<GstVideoFormat> inputs;
    const MediaType outType = TypeFor(*SubtypeFromVideoFormat(output), geometry);
    size_t count = 0;
    const Guid* family = FamilyOf(outType.subtype, &count);
    std::vector<Guid> candidates = {outType.subtype};
    candidates.insert(candidates.end(), family, family + count);
    for (const Guid& subtype : candidates) {
        CDeinterlaceFilter filter;
        const MediaType inType = TypeFor(subtype, geometry);
        if (filter.ConnectInput(inType) == S_OK &&
            filter.CheckTransform(&inType, &outType) == S_OK) {
            AddOnce(&inputs, VideoFormatFromSubtype(subtype));
        }
    }
    return inputs;
}

bool SystemMemory(const GstCapsFeatures* features) {
    return features == nullptr || gst_caps_features_is_any(features) ||
           gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY);
}

bool MayBeProgressive(const GstStructure* s) {
    const GValue* mode = gst_structure_get_value(s, "interlace-mode");
    if (mode == nullptr) {
        return true;
    }
    GValue progressive = G_VALUE_INIT;
    g_value_init(&progressive, G_TYPE_STRING);
    g_value_set_static_string(&progressive, "progressive");
    const bool can = gst_value_intersect(nullptr, mode, &progressive);
    g_value_unset(&progressive);
    return can;
}

void SetInputInterlaceModes(GstStructure* s) {
    GValue list = G_VALUE_INIT;
    gst_value_list_init(&list, 2);
    for (const char* mode : {"progressive", "interleaved"}) {
        GValue item = G_VALUE_INIT;
        g_value_init(&item, G_TYPE_STRING);
        g_value_set_static_string(&item, mode);
        gst_value_list_append_and_take_value(&list, &item);
    }
    gst_structure_take_value(s, "interlace-mode", &list);
}

}  // namespace

bool MediaTypeFromVideoInfo(const GstVideoInfo& info, MediaType* type) {
    const std::optional<Guid> subtype = SubtypeFromVideoFormat(GST_VIDEO_INFO_FORMAT(&info));
    if (!subtype || type == nullptr) {
        return false;
    }
    const bool packed = IsPackedSubtype(*subtype);
    const int width = GST_VIDEO_INFO_WIDTH(&info);
    const int height = GST_VIDEO_INFO_HEIGHT(&info);
    const int strideBytes = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    const uint32_t frameBytes =
        static_cast<uint32_t>(std::min<gsize>(GST_VIDEO_INFO_SIZE(&info), G_MAXUINT32));

    VideoInfoHeader block;
    block.rcSource = {0, 0, width, height};
    block.rcTarget = block.rcSource;
    if (GST_VIDEO_INFO_FPS_N(&info) > 0) {
        block.AvgTimePerFrame = static_cast<ReferenceTime>(gst_util_uint64_scale_int(
            GST_SECOND, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info)));
    }
    block.bmiHeader.biWidth = packed ? strideBytes / 2 : strideBytes;
    block.bmiHeader.biHeight = height;
    block.bmiHeader.biBitCount = packed ? 16 : 12;
    block.bmiHeader.biCompression = subtype->data1;
    block.bmiHeader.biSizeImage = frameBytes;

    *type = MediaType();
    type->majortype = MEDIATYPE_Video;
    type->subtype = *subtype;
    type->lSampleSize = frameBytes;
    type->SetFormat(FORMAT_VideoInfo, block);
    return true;
}

GstVideoFormat VideoFormatFromSubtype(const Guid& subtype) {
    if (subtype == MEDIASUBTYPE_YUY2) {
        return GST_VIDEO_FORMAT_YUY2;
    }
    if (subtype == MEDIASUBTYPE_UYVY) {
        return GST_VIDEO_FORMAT_UYVY;
    }
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV) {
        return GST_VIDEO_FORMAT_I420;
    }
    if (subtype == MEDIASUBTYPE_YV12) {
        return GST_VIDEO_FORMAT_YV12;
    }
    return GST_VIDEO_FORMAT_UNKNOWN;
}

GstCaps* TransformCaps(GstPadDirection direction, GstCaps* caps, GstCaps* filter) {
    GstCaps* result = nullptr;
    if (gst_caps_is_any(caps)) {
        result = gst_caps_from_string(direction == GST_PAD_SINK ? FIELDMEND_SRC_CAPS
                                                                : FIELDMEND_SINK_CAPS);
    } else {
        result = gst_caps_new_empty();
        for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
            const GstStructure* s = gst_caps_get_structure(caps, i);
            const GstCapsFeatures* features = gst_caps_get_features(caps, i);
            if (!gst_structure_has_name(s, "video/x-raw") || !SystemMemory(features)) {
                continue;
            }
            if (direction == GST_PAD_SRC && !MayBeProgressive(s)) {
                continue;
            }
            const Geometry geometry = GeometryOf(s);
            for (GstVideoFormat format : FormatsOf(s)) {
                const std::vector<GstVideoFormat> others = direction == GST_PAD_SINK
                                                               ? OutputsFor(format, geometry)
                                                               : InputsFor(format, geometry);
                for (GstVideoFormat other : others) {
                    GstStructure* out = gst_structure_copy(s);
                    gst_structure_set(out, "format", G_TYPE_STRING,
                                      gst_video_format_to_string(other), nullptr);
                    gst_structure_remove_field(out, "field-order");
                    if (direction == GST_PAD_SINK) {
                        gst_structure_set(out, "interlace-mode", G_TYPE_STRING, "progressive",
                                          nullptr);
                    } else {
                        SetInputInterlaceModes(out);
                    }
                    result = gst_caps_merge_structure_full(
                        result, out, features ? gst_caps_features_copy(features) : nullptr);
                }
            }
        }
    }
    if (filter != nullptr) {
        GstCaps* intersection = gst_caps_intersect_full(result, filter, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = intersection;
    }
    return result;
}

}  // namespace fieldmend
