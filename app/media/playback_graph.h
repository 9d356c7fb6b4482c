// One recording played back: file -> decoder -> 640x480 YUY2 pictures into a frame grabber that
// a video view shows, its sound (when it has any) to the audio output, or to a clocked fake
// sink with OVISTRA_AUDIO_SINK=fake. The graph's streaming threads only call `notify`; the owner
// reads what happened with TakeEvents on its own thread.
#pragma once

#include <gst/gst.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovistra::media {

class FrameGrabber;

class PlaybackGraph {
public:
    enum class Event { Complete, Error };

    // `grabber` must outlive the graph. `notify` runs on a streaming thread for every end of
    // stream and error.
    PlaybackGraph(FrameGrabber& grabber, std::function<void()> notify);
    ~PlaybackGraph();
    PlaybackGraph(const PlaybackGraph&) = delete;
    PlaybackGraph& operator=(const PlaybackGraph&) = delete;

    // Closes what was open, then opens `path` paused on its first picture (in the grabber).
    // False when the file cannot be played; nothing is open then.
    bool Open(const std::string& path);
    void Close();
    bool loaded() const { return pipeline_ != nullptr; }

    bool Play();
    bool Pause();
    // Seconds; empty when the graph cannot tell (nothing open, or not known yet).
    std::optional<double> Position() const;
    std::optional<double> Duration() const;
    // To the key frame at or before `seconds`, flushing; the rate stays.
    bool Seek(double seconds);
    // Plays on from the current position at `rate` (> 0); false when the graph refuses it, and
    // the rate stays as it was.
    bool SetRate(double rate);
    double rate() const { return rate_; }

    // What the graph reported since the last call, in order.
    std::vector<Event> TakeEvents();

private:
    static void OnDecodedPad(GstElement* decoder, GstPad* pad, gpointer self);
    static GstFlowReturn OnSample(GstElement* sink, gpointer self);
    static GstFlowReturn OnPreroll(GstElement* sink, gpointer self);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    void StoreSample(GstSample* sample);
    void AddSoundBranch(GstPad* pad);

    FrameGrabber& grabber_;
    std::function<void()> notify_;
    GstElement* pipeline_ = nullptr;
    GstElement* videoIn_ = nullptr;  // the picture branch's first element, owned by the pipeline
    bool soundLinked_ = false;       // streaming thread, while the decoder offers its pads
    double rate_ = 1.0;
};

}  // namespace ovistra::media
