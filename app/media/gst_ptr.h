// Owning handles for GStreamer objects: adopt takes over a reference the caller holds, ref adds
// one. Floating references are sunk on adoption, so a new element is owned like any other.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace ovistra::media {

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GstMiniObjectUnref {
    void operator()(GstMiniObject* object) const { gst_mini_object_unref(object); }
};

template <typename T>
using GstPtr = std::unique_ptr<T, GstObjectUnref>;

// Owns `object`: a floating reference is sunk, a full one taken over.
template <typename T>
GstPtr<T> AdoptGst(T* object) {
    if (object && g_object_is_floating(object)) {
        gst_object_ref_sink(object);
    }
    return GstPtr<T>(object);
}

// Shares `object`: adds a reference of our own.
template <typename T>
GstPtr<T> RefGst(T* object) {
    return GstPtr<T>(object ? static_cast<T*>(gst_object_ref(object)) : nullptr);
}

}  // namespace ovistra::media
