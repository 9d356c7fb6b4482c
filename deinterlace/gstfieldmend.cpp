/**
 * SECTION:element-fieldmend
 * @title: fieldmend
 *
 * Deinterlace Filter: turns every woven frame into a progressive one of the same size by
 * blending each line with the lines above and below (1:2:1), so both fields stay in the picture
 * and the comb of moving edges is smoothed out. On the way it can turn YUY2 into UYVY and I420
 * into YV12, and back. It has rank NONE: pipelines name it, it is never picked automatically.
 *
 * ## Example launch line
 * |[
 * gst-launch-1.0 videotestsrc ! video/x-raw,format=YUY2,width=720,height=576 ! fieldmend !
 *     video/x-raw,format=UYVY ! fakesink
 * ]|
 */
#include "gstfieldmend.h"

#include <algorithm>
#include <mutex>

#include "deinterlace_filter.h"
#include "fieldmend_caps.h"

GST_DEBUG_CATEGORY_STATIC(gst_fieldmend_debug);
#define GST_CAT_DEFAULT gst_fieldmend_debug

namespace {

using fieldmend::AllocatorProperties;
using fieldmend::HRESULT;
using fieldmend::ReferenceTime;

// The frame borrows the buffer; basetransform holds the reference.
GstMapFlags MapFlags(GstMapFlags access) {
    return static_cast<GstMapFlags>(access | static_cast<int>(GST_VIDEO_FRAME_MAP_FLAG_NO_REF));
}

int32_t ClampBytes(gsize bytes) {
    return static_cast<int32_t>(std::min<gsize>(bytes, G_MAXINT32));
}

// A mapped video frame as the filter's sample: its planes with their real strides and offsets,
// its buffer's time stamps and flags.
class FrameSample final : public fieldmend::MediaSample {
public:
    explicit FrameSample(GstVideoFrame* frame) : frame_(frame), buffer_(frame->buffer) {}

    HRESULT GetPointer(uint8_t** data) override {
        if (data == nullptr) {
            return fieldmend::E_POINTER;
        }
        *data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(frame_, 0));
        return fieldmend::S_OK;
    }

    int32_t GetSize() override { return ClampBytes(gst_buffer_get_size(buffer_)); }
    int32_t GetActualDataLength() override { return GetSize(); }

    // The buffer keeps the size its pool gave it: the caps, or its video meta, say where the
    // frame lies, and trimming a mapped buffer would cut padded planes.
    HRESULT SetActualDataLength(int32_t bytes) override {
        return bytes >= 0 && bytes <= GetSize() ? fieldmend::S_OK
                                                : fieldmend::VFW_E_BUFFER_OVERFLOW;
    }

    HRESULT GetTime(ReferenceTime* start, ReferenceTime* stop) override {
        if (start == nullptr || stop == nullptr) {
            return fieldmend::E_POINTER;
        }
        const GstClockTime pts = GST_BUFFER_PTS(buffer_);
        if (!GST_CLOCK_TIME_IS_VALID(pts)) {
            return fieldmend::VFW_E_SAMPLE_TIME_NOT_SET;
        }
        const GstClockTime duration = GST_BUFFER_DURATION(buffer_);
        *start = static_cast<ReferenceTime>(pts);
        if (!GST_CLOCK_TIME_IS_VALID(duration)) {
            *stop = *start + 1;
            return fieldmend::VFW_S_NO_STOP_TIME;
        }
        *stop = static_cast<ReferenceTime>(pts + duration);
        return fieldmend::S_OK;
    }

    HRESULT SetTime(const ReferenceTime* start, const ReferenceTime* stop) override {
        GST_BUFFER_PTS(buffer_) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(buffer_) = GST_CLOCK_TIME_NONE;
        if (start != nullptr && *start >= 0) {
            GST_BUFFER_PTS(buffer_) = static_cast<GstClockTime>(*start);
            if (stop != nullptr && *stop >= *start) {
                GST_BUFFER_DURATION(buffer_) = static_cast<GstClockTime>(*stop - *start);
            }
        }
        return fieldmend::S_OK;
    }

    HRESULT IsSyncPoint() override {
        return GST_BUFFER_FLAG_IS_SET(buffer_, GST_BUFFER_FLAG_DELTA_UNIT) ? fieldmend::S_FALSE
                                                                           : fieldmend::S_OK;
    }

    HRESULT SetSyncPoint(bool sync) override {
        if (sync) {
            GST_BUFFER_FLAG_UNSET(buffer_, GST_BUFFER_FLAG_DELTA_UNIT);
        } else {
            GST_BUFFER_FLAG_SET(buffer_, GST_BUFFER_FLAG_DELTA_UNIT);
        }
        return fieldmend::S_OK;
    }

    // A new format arrives as a caps event, which reconnects the filter, never with a buffer.
    HRESULT GetMediaType(fieldmend::MediaType* /*type*/) override { return fieldmend::S_FALSE; }

    bool GetPlanes(fieldmend::FramePlanes* planes) override {
        const int count = std::min<int>(GST_VIDEO_FRAME_N_PLANES(frame_), 3);
        planes->count = count;
        for (int i = 0; i < count; ++i) {
            planes->data[i] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(frame_, i));
            planes->strideBytes[i] = GST_VIDEO_FRAME_PLANE_STRIDE(frame_, i);
        }
        planes->width = GST_VIDEO_FRAME_WIDTH(frame_);
        planes->height = GST_VIDEO_FRAME_HEIGHT(frame_);
        return true;
    }

private:
    GstVideoFrame* frame_;
    GstBuffer* buffer_;
};

// The output buffer pool as the filter's allocator: what it asks for becomes the pool's
// configuration, and what the pool then holds is what was granted.
class PoolAllocator final : public fieldmend::MemAllocator {
public:
    explicit PoolAllocator(GstBufferPool* pool) : pool_(pool) {}

    HRESULT SetProperties(const AllocatorProperties* request,
                          AllocatorProperties* actual) override {
        if (request == nullptr || actual == nullptr) {
            return fieldmend::E_POINTER;
        }
        if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbAlign < 0 ||
            request->cbPrefix < 0) {
            return fieldmend::E_INVALIDARG;
        }
        GstStructure* config = gst_buffer_pool_get_config(pool_);
        GstCaps* caps = nullptr;
        guint size = 0;
        guint minBuffers = 0;
        guint maxBuffers = 0;
        gst_buffer_pool_config_get_params(config, &caps, &size, &minBuffers, &maxBuffers);
        if (caps != nullptr) {
            gst_caps_ref(caps);  // the config that holds it goes to the pool below
        }
        GstAllocator* allocator = nullptr;
        GstAllocationParams params;
        gst_allocation_params_init(&params);
        gst_buffer_pool_config_get_allocator(config, &allocator, &params);
        if (request->cbAlign > 1) {  // GStreamer keeps alignment as a mask
            params.align = std::max<gsize>(params.align, request->cbAlign - 1);
        }
        params.prefix = request->cbPrefix;
        gst_buffer_pool_config_set_allocator(config, allocator, &params);
        const guint buffers = static_cast<guint>(request->cBuffers);
        const guint limit = maxBuffers == 0 ? 0 : std::max(maxBuffers, buffers);
        const guint bytes = static_cast<guint>(request->cbBuffer);
        gst_buffer_pool_config_set_params(config, caps, bytes, buffers, limit);
        if (!gst_buffer_pool_set_config(pool_, config)) {
            // The pool may have answered with what it can do; take that if it still fits.
            config = gst_buffer_pool_get_config(pool_);
            if (gst_buffer_pool_config_validate_params(config, caps, bytes, buffers, limit)) {
                gst_buffer_pool_set_config(pool_, config);
            } else {
                gst_structure_free(config);
            }
        }
        if (caps != nullptr) {
            gst_caps_unref(caps);
        }

        config = gst_buffer_pool_get_config(pool_);
        gst_buffer_pool_config_get_params(config, nullptr, &size, &minBuffers, &maxBuffers);
        gst_allocation_params_init(&params);
        gst_buffer_pool_config_get_allocator(config, &allocator, &params);
        gst_structure_free(config);
        actual->cbBuffer = ClampBytes(size);
        actual->cBuffers = static_cast<int32_t>(std::min<guint>(minBuffers, G_MAXINT32));
        actual->cbAlign = ClampBytes(params.align + 1);
        actual->cbPrefix = ClampBytes(params.prefix);
        return fieldmend::S_OK;
    }

private:
    GstBufferPool* pool_;
};

}  // namespace

// Caps, allocation and frames arrive on the streaming thread; stop runs only once the pads are
// inactive. The lock makes that hand-over explicit.
struct FieldmendPrivate {
    std::mutex lock;  // --- guards filter
    fieldmend::CDeinterlaceFilter filter;
};

struct _GstFieldmend {
    GstVideoFilter parent;
    FieldmendPrivate* priv;
};

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(FIELDMEND_SINK_CAPS));
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(FIELDMEND_SRC_CAPS));

G_DEFINE_TYPE(GstFieldmend, gst_fieldmend, GST_TYPE_VIDEO_FILTER)
GST_ELEMENT_REGISTER_DEFINE(fieldmend, "fieldmend", GST_RANK_NONE, GST_TYPE_FIELDMEND)

static void gst_fieldmend_finalize(GObject* object);
static GstCaps* gst_fieldmend_transform_caps(GstBaseTransform* trans, GstPadDirection direction,
                                             GstCaps* caps, GstCaps* filter);
static gboolean gst_fieldmend_decide_allocation(GstBaseTransform* trans, GstQuery* query);
static gboolean gst_fieldmend_stop(GstBaseTransform* trans);
static gboolean gst_fieldmend_set_info(GstVideoFilter* vfilter, GstCaps* incaps,
                                       GstVideoInfo* in_info, GstCaps* outcaps,
                                       GstVideoInfo* out_info);
static GstFlowReturn gst_fieldmend_transform(GstBaseTransform* trans, GstBuffer* inbuf,
                                             GstBuffer* outbuf);
static GstFlowReturn gst_fieldmend_transform_frame(GstVideoFilter* vfilter, GstVideoFrame* in,
                                                   GstVideoFrame* out);

static void gst_fieldmend_class_init(GstFieldmendClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* trans_class = GST_BASE_TRANSFORM_CLASS(klass);
    GstVideoFilterClass* vfilter_class = GST_VIDEO_FILTER_CLASS(klass);

    gobject_class->finalize = gst_fieldmend_finalize;

    gst_element_class_set_static_metadata(
        element_class, "Deinterlace Filter", "Filter/Effect/Video/Deinterlace",
        "Blends the two fields of woven video into progressive frames, optionally "
        "reordering YUY2/UYVY or I420/YV12",
        "Ovistra developers");
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);

    trans_class->transform_caps = GST_DEBUG_FUNCPTR(gst_fieldmend_transform_caps);
    trans_class->decide_allocation = GST_DEBUG_FUNCPTR(gst_fieldmend_decide_allocation);
    trans_class->stop = GST_DEBUG_FUNCPTR(gst_fieldmend_stop);
    // Our own mapping, so a short buffer is an error rather than the video filter's warning.
    trans_class->transform = GST_DEBUG_FUNCPTR(gst_fieldmend_transform);
    vfilter_class->set_info = GST_DEBUG_FUNCPTR(gst_fieldmend_set_info);
    vfilter_class->transform_frame = GST_DEBUG_FUNCPTR(gst_fieldmend_transform_frame);

    GST_DEBUG_CATEGORY_INIT(gst_fieldmend_debug, "fieldmend", 0, "Deinterlace Filter");
}

static void gst_fieldmend_init(GstFieldmend* self) {
    self->priv = new FieldmendPrivate();
}

static void gst_fieldmend_finalize(GObject* object) {
    GstFieldmend* self = GST_FIELDMEND(object);
    delete self->priv;
    self->priv = nullptr;
    G_OBJECT_CLASS(gst_fieldmend_parent_class)->finalize(object);
}

static GstCaps* gst_fieldmend_transform_caps(GstBaseTransform* trans, GstPadDirection direction,
                                             GstCaps* caps, GstCaps* filter) {
    GstCaps* result = fieldmend::TransformCaps(direction, caps, filter);
    GST_DEBUG_OBJECT(trans, "%s %" GST_PTR_FORMAT " -> %" GST_PTR_FORMAT,
                     direction == GST_PAD_SINK ? "sink" : "src", caps, result);
    return result;
}

// Every new format is a new connection: the old geometry goes, the new one is read when
// streaming starts again.
static gboolean gst_fieldmend_set_info(GstVideoFilter* vfilter, GstCaps* /*incaps*/,
                                       GstVideoInfo* in_info, GstCaps* /*outcaps*/,
                                       GstVideoInfo* out_info) {
    GstFieldmend* self = GST_FIELDMEND(vfilter);
    fieldmend::MediaType inType;
    fieldmend::MediaType outType;
    HRESULT hr = fieldmend::S_OK;

    if (!fieldmend::MediaTypeFromVideoInfo(*in_info, &inType) ||
        !fieldmend::MediaTypeFromVideoInfo(*out_info, &outType)) {
        goto unknown_format;
    }
    {
        std::lock_guard<std::mutex> lock(self->priv->lock);
        fieldmend::CDeinterlaceFilter& filter = self->priv->filter;
        filter.Stop();
        filter.Disconnect(fieldmend::PINDIR_OUTPUT);
        filter.Disconnect(fieldmend::PINDIR_INPUT);
        hr = filter.ConnectInput(inType);
        if (fieldmend::Succeeded(hr)) {
            hr = filter.ConnectOutput(outType);
        }
        if (fieldmend::Succeeded(hr)) {
            hr = filter.Pause();
        }
    }
    if (fieldmend::Failed(hr)) {
        goto refused;
    }
    GST_DEBUG_OBJECT(self, "streaming %s %dx%d -> %s",
                     gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(in_info)),
                     GST_VIDEO_INFO_WIDTH(in_info), GST_VIDEO_INFO_HEIGHT(in_info),
                     gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(out_info)));
    return TRUE;

unknown_format:
    GST_WARNING_OBJECT(self, "format not handled");
    return FALSE;
refused:
    GST_WARNING_OBJECT(self, "filter refused %s %dx%d -> %s: 0x%08x",
                       gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(in_info)),
                       GST_VIDEO_INFO_WIDTH(in_info), GST_VIDEO_INFO_HEIGHT(in_info),
                       gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(out_info)),
                       static_cast<guint>(hr));
    return FALSE;
}

static gboolean gst_fieldmend_decide_allocation(GstBaseTransform* trans, GstQuery* query) {
    GstFieldmend* self = GST_FIELDMEND(trans);
    GstBufferPool* pool = nullptr;
    guint size = 0;
    guint minBuffers = 0;
    guint maxBuffers = 0;
    AllocatorProperties granted;
    HRESULT hr = fieldmend::S_OK;

    // The video filter picks the pool (downstream's, or a video pool of ours); the filter then
    // sizes its buffers.
    if (!GST_BASE_TRANSFORM_CLASS(gst_fieldmend_parent_class)->decide_allocation(trans, query) ||
        gst_query_get_n_allocation_pools(query) == 0) {
        return FALSE;
    }
    gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &minBuffers, &maxBuffers);
    if (pool == nullptr) {
        return FALSE;
    }
    {
        PoolAllocator allocator(pool);
        AllocatorProperties request;
        request.cBuffers = static_cast<int32_t>(std::min<guint>(minBuffers, G_MAXINT32));
        request.cbBuffer = ClampBytes(size);
        std::lock_guard<std::mutex> lock(self->priv->lock);
        hr = self->priv->filter.DecideAllocator(&allocator, request);
        granted = self->priv->filter.OutputAllocation();
    }
    if (fieldmend::Failed(hr)) {
        goto refused;
    }
    gst_query_set_nth_allocation_pool(query, 0, pool, static_cast<guint>(granted.cbBuffer),
                                      static_cast<guint>(granted.cBuffers), maxBuffers);
    gst_object_unref(pool);
    return TRUE;

refused:
    GST_WARNING_OBJECT(self, "no buffers of the frame's size: 0x%08x", static_cast<guint>(hr));
    gst_object_unref(pool);
    return FALSE;
}

static gboolean gst_fieldmend_stop(GstBaseTransform* trans) {
    GstFieldmend* self = GST_FIELDMEND(trans);
    std::lock_guard<std::mutex> lock(self->priv->lock);
    self->priv->filter.Stop();
    self->priv->filter.Disconnect(fieldmend::PINDIR_OUTPUT);
    self->priv->filter.Disconnect(fieldmend::PINDIR_INPUT);
    return TRUE;
}

static GstFlowReturn gst_fieldmend_transform(GstBaseTransform* trans, GstBuffer* inbuf,
                                             GstBuffer* outbuf) {
    GstVideoFilter* vfilter = GST_VIDEO_FILTER(trans);
    GstVideoFrame in;
    GstVideoFrame out;
    GstFlowReturn ret = GST_FLOW_OK;

    if (!vfilter->negotiated) {
        goto not_negotiated;
    }
    if (!gst_video_frame_map(&in, &vfilter->in_info, inbuf, MapFlags(GST_MAP_READ))) {
        goto short_input;
    }
    if (!gst_video_frame_map(&out, &vfilter->out_info, outbuf, MapFlags(GST_MAP_WRITE))) {
        gst_video_frame_unmap(&in);
        goto unusable_output;
    }
    ret = gst_fieldmend_transform_frame(vfilter, &in, &out);
    gst_video_frame_unmap(&out);
    gst_video_frame_unmap(&in);
    return ret;

not_negotiated:
    GST_ELEMENT_ERROR(trans, CORE, NEGOTIATION, (nullptr), ("no format negotiated"));
    return GST_FLOW_NOT_NEGOTIATED;
short_input:
    GST_ELEMENT_ERROR(
        trans, STREAM, FORMAT, ("Input buffer too short for its caps."),
        ("%" G_GSIZE_FORMAT " bytes, %" G_GSIZE_FORMAT " needed for %s %dx%d",
         gst_buffer_get_size(inbuf), GST_VIDEO_INFO_SIZE(&vfilter->in_info),
         GST_VIDEO_INFO_NAME(&vfilter->in_info), GST_VIDEO_INFO_WIDTH(&vfilter->in_info),
         GST_VIDEO_INFO_HEIGHT(&vfilter->in_info)));
    return GST_FLOW_ERROR;
unusable_output:
    GST_ELEMENT_ERROR(trans, RESOURCE, FAILED, (nullptr),
                      ("output buffer of %" G_GSIZE_FORMAT " bytes cannot hold the frame",
                       gst_buffer_get_size(outbuf)));
    return GST_FLOW_ERROR;
}

static GstFlowReturn gst_fieldmend_transform_frame(GstVideoFilter* vfilter, GstVideoFrame* in,
                                                   GstVideoFrame* out) {
    GstFieldmend* self = GST_FIELDMEND(vfilter);
    FrameSample inSample(in);
    FrameSample outSample(out);
    HRESULT hr = fieldmend::S_OK;
    {
        std::lock_guard<std::mutex> lock(self->priv->lock);
        hr = self->priv->filter.Receive(&inSample, &outSample);
    }
    if (fieldmend::Failed(hr)) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr),
                          ("the frame could not be deinterlaced: 0x%08x", static_cast<guint>(hr)));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}
