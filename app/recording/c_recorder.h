// One camera's recorder: its pictures pushed in at the frame timer's pace, compressed and
// written into an AVI file. appsrc "Video Capture" -> encoder "Encode" -> avimux -> filesink,
// on the media layer's pipeline handles.
#pragma once

#include <gst/gst.h>

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "gst_ptr.h"

namespace ovistra {

class CRecorder {
public:
    // How long Stop waits for the file writer to take the end of the stream.
    static constexpr int kStopWaitMs = 2000;

    CRecorder();
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    void SetFrameInterval(uint32_t intervalMs);  // 1000 / frame rate; 0 counts as 40
    // The encoder factory to use; empty, or one the machine lacks, takes the fallbacks
    // (avenc_mpeg4, then jpegenc, then raw frames).
    void SetVideoCompressor(std::string factoryName);
    void SetFileName(const QString& path);

    // False, with nothing left running, when the pipeline cannot be made.
    bool BuildGraph();
    bool Run();
    // Ends the file properly: end of stream, a bounded wait for the writer, then the stop.
    void Stop();
    // Only while stopped.
    bool ChangeOutputFile(const QString& path);
    void Teardown();

    // One sample per call: a new frame (640x480 YUY2) is converted upright; without one the
    // last picture goes out again (black before the first). Sample times are n x interval
    // from 0 in each file. A null frame does nothing.
    void PushFrame(const uint8_t* frame, bool isNew);

    // The encoder factory the pipeline uses ("" for raw frames).
    const std::string& encoder() const { return encoderInUse_; }

private:
    uint32_t intervalMs_ = 40;
    std::string requestedEncoder_;
    std::string encoderInUse_;
    QString fileName_;
    media::GstPtr<GstElement> pipeline_;
    GstElement* source_ = nullptr;  // owned by the pipeline
    GstElement* sink_ = nullptr;    // owned by the pipeline
    std::vector<uint8_t> picture_;  // the last picture pushed, BGR top-down
    uint64_t samples_ = 0;          // sample number in the current file
};

}  // namespace ovistra
