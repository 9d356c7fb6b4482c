/*
 * ovistrasimsrc: the simulated capture device's pictures as a live source.
 *
 * Every frame time of the device's standard (25 per second with PAL, 30 with NTSC, chosen when
 * the element starts) it waits on the pipeline clock until the frame is complete, then has the
 * device render it into a buffer of 614400 bytes stamped with the frame's running time. The
 * element is registered inside the program only, so there is no gst-launch-1.0 line: make it
 * with SimulatedDevice::MakeSourceElement() and use it as
 *
 *   ovistrasimsrc ! video/x-raw,format=YUY2,width=640,height=480 ! appsink
 *
 * unlock() unschedules the frame wait, so a change to READY or NULL never waits a frame time.
 */
#include "sim_source_element.h"

#include <gst/base/gstpushsrc.h>

#include <algorithm>
#include <mutex>

#include "capture_device.h"
#include "gst_ptr.h"
#include "sim_device.h"

GST_DEBUG_CATEGORY_STATIC(ovistra_sim_src_debug);
#define GST_CAT_DEFAULT ovistra_sim_src_debug

using ovistra::media::GstPtr;
using ovistra::media::kFrameBytes;
using ovistra::media::kFrameHeight;
using ovistra::media::kFrameWidth;
using ovistra::media::SimulatedDevice;

// One format: 640x480 YUY2 at PAL's or NTSC's frame rate.
static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { YUY2 }, width = (int) 640, "
                    "height = (int) 480, framerate = (fraction) { 25/1, 30/1 }"));

G_BEGIN_DECLS
#define GST_TYPE_OVISTRA_SIM_SRC (gst_ovistra_sim_src_get_type())
G_DECLARE_FINAL_TYPE(GstOvistraSimSrc, gst_ovistra_sim_src, GST, OVISTRA_SIM_SRC, GstPushSrc)
G_END_DECLS

namespace {

struct SimSrcState {
    // A mutex of our own rather than the object lock: the thread sanitizer sees it.
    std::mutex lock;
    // --- guarded by lock
    std::shared_ptr<SimulatedDevice> device;
    GstClockID wait = nullptr;  // the frame wait in progress, for unlock to unschedule
    bool flushing = false;
    int framesPerSecond = 0;  // the standard's, chosen at start; 0 while stopped
    // --- streaming thread only
    guint64 nextFrame = 0;
    GstClockTime ownBaseTime = GST_CLOCK_TIME_NONE;  // when the pipeline gives no clock
};

// Waits on `clock` until `time`; false when unlock ended the wait (or came before it).
bool WaitUntil(SimSrcState& state, GstClock* clock, GstClockTime time) {
    GstClockID wait = gst_clock_new_single_shot_id(clock, time);
    {
        std::lock_guard guard(state.lock);
        if (state.flushing) {
            gst_clock_id_unref(wait);
            return false;
        }
        state.wait = wait;
    }
    const GstClockReturn waited = gst_clock_id_wait(wait, nullptr);
    bool unlocked = false;
    {
        std::lock_guard guard(state.lock);
        state.wait = nullptr;
        unlocked = state.flushing;
    }
    gst_clock_id_unref(wait);
    return waited != GST_CLOCK_UNSCHEDULED && !unlocked;
}

GstCaps* CapsAt(int framesPerSecond) {
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT,
                               kFrameWidth, "height", G_TYPE_INT, kFrameHeight, "framerate",
                               GST_TYPE_FRACTION, framesPerSecond, 1, nullptr);
}

}  // namespace

struct _GstOvistraSimSrc {
    GstPushSrc parent;
    SimSrcState* state;  // owned; made in init, deleted in finalize
};

G_DEFINE_TYPE(GstOvistraSimSrc, gst_ovistra_sim_src, GST_TYPE_PUSH_SRC)

static void gst_ovistra_sim_src_finalize(GObject* object);
static GstCaps* gst_ovistra_sim_src_get_caps(GstBaseSrc* src, GstCaps* filter);
static gboolean gst_ovistra_sim_src_start(GstBaseSrc* src);
static gboolean gst_ovistra_sim_src_stop(GstBaseSrc* src);
static gboolean gst_ovistra_sim_src_unlock(GstBaseSrc* src);
static gboolean gst_ovistra_sim_src_unlock_stop(GstBaseSrc* src);
static gboolean gst_ovistra_sim_src_query(GstBaseSrc* src, GstQuery* query);
static gboolean gst_ovistra_sim_src_decide_allocation(GstBaseSrc* src, GstQuery* query);
static GstFlowReturn gst_ovistra_sim_src_fill(GstPushSrc* src, GstBuffer* buffer);

static void gst_ovistra_sim_src_class_init(GstOvistraSimSrcClass* klass) {
    GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* basesrc_class = GST_BASE_SRC_CLASS(klass);
    GstPushSrcClass* pushsrc_class = GST_PUSH_SRC_CLASS(klass);

    gobject_class->finalize = gst_ovistra_sim_src_finalize;

    gst_element_class_set_static_metadata(
        element_class, "Ovistra simulated capture source", "Source/Video",
        "The pictures of Ovistra's simulated USB 2820-family capture device", "Ovistra");
    gst_element_class_add_static_pad_template(element_class, &src_template);

    basesrc_class->get_caps = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_get_caps);
    basesrc_class->start = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_start);
    basesrc_class->stop = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_stop);
    basesrc_class->unlock = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_unlock);
    basesrc_class->unlock_stop = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_unlock_stop);
    basesrc_class->query = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_query);
    basesrc_class->decide_allocation = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_decide_allocation);
    pushsrc_class->fill = GST_DEBUG_FUNCPTR(gst_ovistra_sim_src_fill);

    GST_DEBUG_CATEGORY_INIT(ovistra_sim_src_debug, "ovistrasimsrc", 0,
                            "Ovistra simulated capture source");
}

static void gst_ovistra_sim_src_init(GstOvistraSimSrc* self) {
    self->state = new SimSrcState();
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    // A buffer is one picture, also without a buffer pool.
    gst_base_src_set_blocksize(GST_BASE_SRC(self), kFrameBytes);
}

static void gst_ovistra_sim_src_finalize(GObject* object) {
    GstOvistraSimSrc* self = GST_OVISTRA_SIM_SRC(object);
    delete self->state;
    self->state = nullptr;
    G_OBJECT_CLASS(gst_ovistra_sim_src_parent_class)->finalize(object);
}

// The standard chosen at start; before that, the device's current one.
static GstCaps* gst_ovistra_sim_src_get_caps(GstBaseSrc* src, GstCaps* filter) {
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(src)->state;
    int framesPerSecond = 0;
    {
        std::lock_guard guard(state.lock);
        framesPerSecond = state.framesPerSecond;
        if (framesPerSecond == 0 && state.device != nullptr) {
            framesPerSecond = state.device->FramesPerSecond();
        }
    }

    GstCaps* caps = framesPerSecond != 0 ? CapsAt(framesPerSecond)
                                         : gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(src));
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

static gboolean gst_ovistra_sim_src_start(GstBaseSrc* src) {
    GstOvistraSimSrc* self = GST_OVISTRA_SIM_SRC(src);
    SimSrcState& state = *self->state;
    std::shared_ptr<SimulatedDevice> device;
    {
        std::lock_guard guard(state.lock);
        device = state.device;
        if (device) {
            state.framesPerSecond = device->FramesPerSecond();
        }
    }
    if (!device) {
        goto unbound;
    }
    // The device's file inputs play from capture start to capture stop.
    device->StartInputs();
    state.nextFrame = 0;
    state.ownBaseTime = GST_CLOCK_TIME_NONE;
    return TRUE;

unbound:
    GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No simulated capture device."),
                      ("ovistrasimsrc is made by SimulatedDevice::MakeSourceElement"));
    return FALSE;
}

static gboolean gst_ovistra_sim_src_stop(GstBaseSrc* src) {
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(src)->state;
    std::shared_ptr<SimulatedDevice> device;
    {
        std::lock_guard guard(state.lock);
        state.framesPerSecond = 0;
        device = state.device;
    }
    if (device) {
        device->StopInputs();
    }
    return TRUE;
}

static gboolean gst_ovistra_sim_src_unlock(GstBaseSrc* src) {
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(src)->state;
    std::lock_guard guard(state.lock);
    state.flushing = true;
    if (state.wait != nullptr) {
        gst_clock_id_unschedule(state.wait);
    }
    return TRUE;
}

static gboolean gst_ovistra_sim_src_unlock_stop(GstBaseSrc* src) {
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(src)->state;
    std::lock_guard guard(state.lock);
    state.flushing = false;
    return TRUE;
}

// Live, one frame of latency: a picture leaves when it is complete.
static gboolean gst_ovistra_sim_src_query(GstBaseSrc* src, GstQuery* query) {
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(src)->state;
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
        int framesPerSecond = 0;
        {
            std::lock_guard guard(state.lock);
            framesPerSecond = state.framesPerSecond;
        }
        if (framesPerSecond == 0) {
            return FALSE;
        }
        const GstClockTime frame = gst_util_uint64_scale_int(GST_SECOND, 1, framesPerSecond);
        gst_query_set_latency(query, TRUE, frame, frame);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(gst_ovistra_sim_src_parent_class)->query(src, query);
}

// Buffers from a pool, downstream's or our own, of at least one picture each.
static gboolean gst_ovistra_sim_src_decide_allocation(GstBaseSrc* src, GstQuery* query) {
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstBufferPool* pool = nullptr;
    guint size = 0;
    guint minBuffers = 0;
    guint maxBuffers = 0;
    const bool update = gst_query_get_n_allocation_pools(query) > 0;
    if (update) {
        gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &minBuffers, &maxBuffers);
    }
    if (pool == nullptr) {
        pool = gst_buffer_pool_new();
    }
    size = std::max<guint>(size, kFrameBytes);
    minBuffers = std::max<guint>(minBuffers, 2);
    if (maxBuffers != 0) {
        maxBuffers = std::max(maxBuffers, minBuffers);
    }
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, minBuffers, maxBuffers);
    gst_buffer_pool_set_config(pool, config);
    if (update) {
        gst_query_set_nth_allocation_pool(query, 0, pool, size, minBuffers, maxBuffers);
    } else {
        gst_query_add_allocation_pool(query, pool, size, minBuffers, maxBuffers);
    }
    gst_object_unref(pool);
    return GST_BASE_SRC_CLASS(gst_ovistra_sim_src_parent_class)->decide_allocation(src, query);
}

// Waits until frame `nextFrame` is complete on the clock, then renders it. Frames whose time
// passed while downstream held the thread are dropped, as a capture card drops them.
static GstFlowReturn gst_ovistra_sim_src_fill(GstPushSrc* src, GstBuffer* buffer) {
    GstOvistraSimSrc* self = GST_OVISTRA_SIM_SRC(src);
    SimSrcState& state = *self->state;
    std::shared_ptr<SimulatedDevice> device;
    int framesPerSecond = 0;
    bool unlocked = false;
    {
        std::lock_guard guard(state.lock);
        device = state.device;
        framesPerSecond = state.framesPerSecond;
        unlocked = state.flushing;
    }
    if (unlocked) {
        return GST_FLOW_FLUSHING;
    }
    if (device == nullptr || framesPerSecond == 0) {
        goto not_started;
    }
    if (gst_buffer_get_size(buffer) < kFrameBytes) {
        goto too_small;
    }
    {
        GstClockTime baseTime = gst_element_get_base_time(GST_ELEMENT(self));
        GstPtr<GstClock> clock(gst_element_get_clock(GST_ELEMENT(self)));
        if (clock == nullptr) {
            // No pipeline clock: the system clock, from the first frame on.
            clock.reset(gst_system_clock_obtain());
            if (!GST_CLOCK_TIME_IS_VALID(state.ownBaseTime)) {
                state.ownBaseTime = gst_clock_get_time(clock.get());
            }
            baseTime = state.ownBaseTime;
        }
        const GstClockTime now = gst_clock_get_time(clock.get());
        const guint64 due = gst_util_uint64_scale_int(now > baseTime ? now - baseTime : 0,
                                                      framesPerSecond, GST_SECOND);
        if (due > state.nextFrame + 1) {
            GST_LOG_OBJECT(self, "dropping frames %" G_GUINT64_FORMAT " to %" G_GUINT64_FORMAT,
                           state.nextFrame, due - 1);
            state.nextFrame = due;
        }
        const guint64 frame = state.nextFrame;
        const GstClockTime pts = gst_util_uint64_scale_int(frame, GST_SECOND, framesPerSecond);
        const GstClockTime end = gst_util_uint64_scale_int(frame + 1, GST_SECOND, framesPerSecond);
        if (!WaitUntil(state, clock.get(), baseTime + end)) {
            GST_DEBUG_OBJECT(self, "unlocked");
            return GST_FLOW_FLUSHING;
        }

        gst_buffer_set_size(buffer, kFrameBytes);
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
            goto too_small;
        }
        device->RenderFrame(map.data, static_cast<int64_t>(pts));
        gst_buffer_unmap(buffer, &map);
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(buffer) = end - pts;
        GST_BUFFER_OFFSET(buffer) = frame;
        GST_BUFFER_OFFSET_END(buffer) = frame + 1;
        state.nextFrame = frame + 1;
        return GST_FLOW_OK;
    }

not_started:
    GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("No simulated capture device."), (nullptr));
    return GST_FLOW_NOT_NEGOTIATED;

too_small:
    GST_ELEMENT_ERROR(self, RESOURCE, WRITE, ("Cannot write a picture into the buffer."),
                      ("buffer of %" G_GSIZE_FORMAT " bytes", gst_buffer_get_size(buffer)));
    return GST_FLOW_ERROR;
}

namespace ovistra::media {

bool RegisterSimSourceElement() {
    // A function-local static: made once, the first caller's thread does it, others wait.
    static const bool registered = gst_element_register(nullptr, kSimSourceFactoryName,
                                                        GST_RANK_NONE, GST_TYPE_OVISTRA_SIM_SRC);
    return registered;
}

GstElement* MakeSimSourceElement(std::shared_ptr<SimulatedDevice> device) {
    if (!RegisterSimSourceElement()) {
        return nullptr;
    }
    GstElement* element = gst_element_factory_make(kSimSourceFactoryName, nullptr);
    if (element == nullptr) {
        return nullptr;
    }
    SimSrcState& state = *GST_OVISTRA_SIM_SRC(element)->state;
    std::lock_guard guard(state.lock);
    state.device = std::move(device);
    return element;
}

}  // namespace ovistra::media
