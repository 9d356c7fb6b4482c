// One camera's recorder: its pictures pushed in at the frame timer's pace, compressed and
// written into an AVI file. appsrc "Video Capture" -> encoder "Encode" -> avimux -> filesink,
// on the media layer's pipeline handles.
#pragma once

#include <gst/gst.h>

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_input.h"
#include "gst_ptr.h"
#include "repeat_shortcut.h"
#include "time_stamp.h"

namespace ovistra {

// What ended a recorder's pictures.
enum class RecorderFault {
    None,
    NoSpace,   // the file writer found the disk full
    Write,     // the file writer failed otherwise (a write or a file refused)
    Pipeline,  // another element on the pictures' road (converter, encoder, multiplexer)
    Stalled,   // no picture found room in the pipeline for kStallMs
};

class CRecorder {
public:
    // How long Stop waits for the file writer to take the end of the stream.
    static constexpr int kStopWaitMs = 2000;
    // Pushes that find no room for this long mean the pipeline no longer moves.
    static constexpr int kStallMs = 10000;

    CRecorder();
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    void SetFrameInterval(uint32_t intervalMs);  // 1000 / frame rate; 0 counts as 40
    // Every new picture carries the local date and time in its top-left corner.
    void EnableTimeStamp();
    // Sound from the input ChooseAudioInput takes of `inputs` (none: the machine's), when one
    // is there.
    void EnableAudio(bool on) { audioOn_ = on; }
    void SetAudioInputs(std::shared_ptr<const AudioInputList> inputs) {
        audioInputs_ = std::move(inputs);
    }
    // The encoder factory to use; empty, or one the machine lacks, takes the fallbacks
    // (avenc_mpeg4, then jpegenc, then raw frames).
    void SetVideoCompressor(std::string factoryName);
    void SetFileName(const QString& path);
    // The element the file is written by; measurements put "fakesink" here.
    void SetWriterFactory(std::string factoryName) { writerFactory_ = std::move(factoryName); }

    // False, with nothing left running, when the pipeline cannot be made.
    bool BuildGraph();
    bool Run();
    // Ends the file properly: end of stream, a bounded wait for the writer, then the stop. A
    // file that got no picture gets one, so every file plays. True when the writer took the
    // end of the stream, so the file has its index; false when it never did (a fault, a
    // stalled pipeline): the file then needs the repair a crash needs. The file is not synced.
    bool Stop();
    // Only while stopped.
    bool ChangeOutputFile(const QString& path);
    const QString& fileName() const { return fileName_; }
    void Teardown();

    // One sample per call, so the file keeps the timer's pace: a new frame (640x480 YUY2) is
    // converted upright and stamped; without one (or with a null frame) the last picture goes
    // out again, black before the first. Sample times are n x interval from 0 in each file.
    // Waits one frame interval at most for room in the pipeline, else skips the tick.
    void PushFrame(const uint8_t* frame, bool isNew);

    // A picture from before the recording's start.
    struct EarlierPicture {
        const uint8_t* frame = nullptr;  // 640x480 YUY2
        uint32_t offsetMs = 0;           // after the first picture
        QDateTime taken;                 // what its time stamp says
    };
    // Right after Run, before any PushFrame: the file begins with `pictures` (oldest first,
    // times counted from the file's start), each shown from its own time on at the frame rate
    // up to `untilMs`, where the next call or PushFrame's live pictures go on. Waits for room
    // as long as the pipeline moves.
    void PushEarlier(const std::vector<EarlierPicture>& pictures, uint32_t untilMs);

    // The first fault since the pipeline was built: the file holds what was written before
    // it, and the stop no longer waits for the writer. The sound branch's errors end only the
    // sound.
    RecorderFault Fault();

    // Whether the built pipeline records sound: false when none was asked, no input was found
    // or its branch could not be made.
    bool hasSound() const { return soundOn_; }

    // The encoder factory the pipeline uses ("" for raw frames).
    const std::string& encoder() const { return encoderInUse_; }

private:
    struct BufferUnref {
        void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
    };

    bool WaitForRoom(uint32_t limitMs) const;
    // Converts (and stamps with `taken`) a new picture, black without a frame.
    GstBuffer* NewPicture(const uint8_t* frame, const QDateTime& taken);
    // The picture once more, as the next sample.
    void PushSample();

    uint32_t intervalMs_ = 40;
    bool stampOn_ = false;
    bool audioOn_ = false;
    bool soundOn_ = false;
    std::shared_ptr<const AudioInputList> audioInputs_;
    std::string requestedEncoder_;
    std::string encoderInUse_;
    std::string writerFactory_ = "filesink";
    QString fileName_;
    TimeStamp stamp_;
    RepeatShortcut shortcut_;  // outlives the pipeline whose converter calls it
    media::GstPtr<GstElement> pipeline_;
    GstElement* source_ = nullptr;  // owned by the pipeline
    GstElement* sink_ = nullptr;    // owned by the pipeline
    // The last picture pushed (BGR top-down), shared by its repeats; null before the first.
    std::unique_ptr<GstBuffer, BufferUnref> picture_;
    media::GstPtr<GstBufferPool> pool_;  // made with the first picture
    uint64_t samples_ = 0;  // sample number in the current file
    uint32_t missedMs_ = 0;  // pushes in a row that found no room
    RecorderFault fault_ = RecorderFault::None;
};

}  // namespace ovistra
