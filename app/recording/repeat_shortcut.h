// A converter's shortcut for repeated pictures: a repeat shares its picture's memory, so the
// converter would only make the same result again; its last result goes out in its place,
// with the repeat's times. Most recorded samples are repeats (a camera gets a new picture
// about once per round of the switching loop), so this saves most of the conversion work.
#pragma once

#include <gst/gst.h>

#include <mutex>

namespace ovistra {

class RepeatShortcut {
public:
    RepeatShortcut() = default;
    ~RepeatShortcut();
    RepeatShortcut(const RepeatShortcut&) = delete;
    RepeatShortcut& operator=(const RepeatShortcut&) = delete;

    // `converter` has one sink and one source pad and turns equal input into equal output.
    // Once per converter, before its pipeline runs.
    void Attach(GstElement* converter);
    // Forgets the last picture; after the pipeline stopped.
    void Reset();

    // Samples that took the shortcut.
    guint64 shortcuts() const;

private:
    static GstPadProbeReturn OnInput(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnOutput(GstPad* pad, GstPadProbeInfo* info, gpointer self);

    mutable std::mutex mutex_;
    GstPad* output_ = nullptr;        // the converter's source pad, owned by it
    GstMemory* lastInput_ = nullptr;  // held, so its address cannot come back for a new picture
    GstBuffer* lastOutput_ = nullptr;
    guint64 shortcuts_ = 0;
};

}  // namespace ovistra
