#include "media_requirements.h"

#include <gst/gst.h>

namespace ovistra {

const QStringList& RequiredMediaElements() {
    // Capture and live view, recording (the MJPEG encoder is the fallback that always works),
    // playback and the alarm sound.
    static const QStringList elements{
        "appsrc",       "appsink",       "queue",    "videoconvert", "videoscale", "videorate",
        "jpegenc",      "avimux",        "filesink", "filesrc",      "avidemux",   "decodebin",
        "audioconvert", "audioresample", "wavparse", "volume",       "fakesink"};
    return elements;
}

QStringList MissingMediaElements() {
    if (!gst_is_initialized()) {
        return RequiredMediaElements();
    }
    QStringList missing;
    for (const QString& name : RequiredMediaElements()) {
        GstElementFactory* factory = gst_element_factory_find(name.toUtf8().constData());
        if (!factory) {
            missing << name;
            continue;
        }
        gst_object_unref(factory);
    }
    return missing;
}

}  // namespace ovistra
