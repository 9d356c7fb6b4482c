// The recording control: which cameras are being recorded, their recorders, the files and list
// entries they write, circular sets and the free-space rules. The main window holds one and
// drives it from its buttons and timers; everything runs on the UI thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "c_recorder.h"
#include "pre_alarm_cameras.h"

namespace ovistra {

class RecordingList;
namespace platform {
class DurableWriter;
}

enum class RecordReason { Hand, Schedule, Alarm, Link };

// The settings a start reads; the owner hands over the ones in force.
struct RecordingSetup {
    static constexpr int kCameras = 4;

    QString recordFolder;
    bool circular = false;
    std::array<uint32_t, kCameras> frameRate{25, 25, 25, 25};  // 0 reads as 25
    uint32_t timeStampMask = 0;  // bit N-1: camera N's pictures carry the time
    uint32_t audioCamera = 0;    // the camera whose recording has sound, 0 none
    std::array<std::string, kCameras> compressors;  // encoder factory per camera, "" default
    std::shared_ptr<const AudioInputList> audioInputs;  // null: the machine's sound inputs
};

// What the control asks of the window that holds it.
class RecordingHost {
public:
    struct DiskSpace {
        uint64_t freeBytes = 0;
        QString mountPoint;
    };

    virtual ~RecordingHost() = default;
    virtual QDateTime LocalNow() const = 0;
    virtual std::optional<DiskSpace> FreeSpace(const QString& folder) const = 0;
    // The capture pipeline runs and the camera (1..4) is there to be recorded.
    virtual bool CanRecord(int camera) const = 0;
    virtual void StartTimer(uintptr_t id, uint32_t periodMs) = 0;
    virtual void StopTimer(uintptr_t id) = 0;
    virtual void ShowMessage(int textId, int captionId) = 0;
    virtual QString Text(int id) const = 0;
    virtual void ShowDiskLabel(const QString& text) = 0;
    virtual void ShowRecordingIndicator(bool shown) = 0;
    // A camera started or stopped: buttons and captions follow.
    virtual void RecordingsChanged() = 0;
    virtual void RecordingStarted(int camera, RecordReason reason, const QString& file) = 0;
    virtual void RecordingStopped(int camera, const QString& file, qint64 seconds) = 0;
    virtual void RecordingFailed(int camera, int textId) = 0;
    // The sound camera's recording runs without sound: no input was found or none could be used.
    virtual void RecordingWithoutSound(int camera) = 0;
    virtual void DiskLow(const QString& folder, uint64_t freeMb) = 0;
    // A circular set's file gave way to new pictures: deleted, or written over from the start.
    virtual void CircularReused(int camera, const QString& file) = 0;
};

class RecordingControl {
public:
    static constexpr int kCameras = RecordingSetup::kCameras;
    static constexpr uint32_t kStartThresholdMb = 30;
    static constexpr uint32_t kWatchThresholdMb = 20;
    static constexpr uint32_t kCircularThresholdMb = 50;
    static constexpr uint32_t kWatchPeriodMs = 60000;
    static constexpr uint32_t kRotationPeriodMs = 600000;
    static constexpr int kTicksPerFile = 3;
    // Circular recordings keep at least this much of the measured write rate free.
    static constexpr int kCircularMarginSeconds = 120;
    // An alarm's start catches up with the camera at most this many times.
    static constexpr int kCatchUpRounds = 8;

    // A camera's circular set.
    struct CircularSet {
        QString baseName;  // the set's first file
        int ticks = 0;     // 10-minute ticks of the file being written
        int fileIndex = 0;
        bool wrapped = false;
        int lastIndex = 0;
        int lastFileLength = kTicksPerFile;
    };

    // `list` may be null (nothing is listed).
    RecordingControl(RecordingHost& host, RecordingList* list);
    ~RecordingControl();
    RecordingControl(const RecordingControl&) = delete;
    RecordingControl& operator=(const RecordingControl&) = delete;

    void SetSetup(RecordingSetup setup) { setup_ = std::move(setup); }
    // Finished files are synced by `writer`, in order with the list's rewrites; without one
    // they are synced at once.
    void SetDurableWriter(platform::DurableWriter* writer) { writer_ = writer; }
    const RecordingSetup& setup() const { return setup_; }

    // Cameras are numbered 1..4. Starts the camera when it is not being recorded (`reason`
    // labels the recording), stops it otherwise. True when the camera is being recorded after.
    bool ToggleRecording(int camera, RecordReason reason = RecordReason::Hand);
    // A new recording (file and entry) with `reason`, in place of the one that runs, if any. A
    // new one that cannot start (no room, no recorder) leaves the running one as it was; only
    // the sound camera's, whose input the running recorder holds, is stopped before its next
    // recorder is built. True when it started.
    bool Restart(int camera, RecordReason reason);
    // An alarm's recording of a camera that is not being recorded: it begins with the
    // camera's pictures from before the alarm that the pre-alarm buffers hold, and is named
    // and listed by the first of them. True when it started.
    bool StartAlarmRecording(int camera);
    // The watched cameras' pictures from before an alarm; the owner starts and stops them
    // with detection.
    PreAlarmCameras& preAlarm() { return preAlarm_; }
    // How much of the camera's recording comes from before its start, in milliseconds.
    uint32_t preAlarmMs(int camera) const { return Camera(camera).preAlarmMs; }
    // Stops every camera when all four are being recorded, else starts the others.
    void ToggleAllRecording(RecordReason reason = RecordReason::Hand);
    void RotateCircularFile(int camera);  // every 10 minutes, circular sets only
    // Every minute while anything records: the stop of every camera when the disk runs low;
    // in circular mode, room made from the oldest circular footage instead.
    void WatchRecordDisk();
    // The camera's frame timer: its latest frame (null before the first) and whether it is new.
    void PushFrame(int camera, const uint8_t* frame, bool isNew);
    // Shutdown and a lost device: every recording ends in order, files closed and listed.
    void StopAll();

    // Free space of the record folder's disk above `thresholdMb`; shows it in the disk label.
    bool HasFreeSpace(uint32_t thresholdMb);

    bool IsRecording(int camera) const { return Camera(camera).recorder != nullptr; }
    RecordReason reason(int camera) const { return Camera(camera).reason; }
    // All four cameras are being recorded (the all-cameras record button is active).
    bool allRecording() const { return running_ == kCameras; }
    int running() const { return running_; }
    QString fileName(int camera) const { return Camera(camera).file; }
    const CircularSet& circularSet(int camera) const { return Camera(camera).circular; }
    // The file number at which the camera's set wrapped; kept for the whole run.
    int highestIndex(int camera) const { return highestIndex_[camera - 1]; }

    // camera's folder: "<record folder>/CameraN".
    QString CameraFolder(int camera) const;
    // Later files of a circular set: the base name without ".avi", the index, ".avi".
    static QString CircularFileName(const QString& baseName, int index);

private:
    struct CameraRecording {
        std::unique_ptr<CRecorder> recorder;
        RecordReason reason = RecordReason::Hand;
        bool circularMode = false;  // the mode in force at the start
        QString file;               // the first file
        QDateTime started;  // of its first picture
        uint32_t preAlarmMs = 0;
        CircularSet circular;
    };

    CameraRecording& Camera(int camera) { return cameras_[camera - 1]; }
    const CameraRecording& Camera(int camera) const { return cameras_[camera - 1]; }
    // `built`: the camera's next recorder, already running into its file. `earlier`: pictures
    // the recording begins with.
    bool Start(int camera, RecordReason reason, std::unique_ptr<CRecorder> built = nullptr,
               const PreAlarmClip* earlier = nullptr);
    // Writes what the camera showed while its earlier pictures were written, until the file
    // is within a frame of now; `first`: the file's first picture, `until`: where it stands.
    void CatchUp(int camera, PreAlarmClip::Clock::time_point first,
                 PreAlarmClip::Clock::time_point until);
    static uint32_t MsBetween(PreAlarmClip::Clock::time_point from,
                              PreAlarmClip::Clock::time_point to);
    // The clip's pictures with times counted from `first`, stamped from `firstLocal` on.
    static std::vector<CRecorder::EarlierPicture> EarlierPictures(
        const PreAlarmClip& clip, PreAlarmClip::Clock::time_point first,
        const QDateTime& firstLocal);
    // Tells why a start was refused; a start no one asked for by hand tells each cause once,
    // until a start succeeds or another cause refuses one.
    void Refuse(RecordReason reason, int textId, int captionId);
    void Stop(int camera);
    std::unique_ptr<CRecorder> MakeRecorder(int camera, const QString& file) const;
    // The first name from the start second on that no earlier recording of the camera took.
    QString FreeFileName(int camera, const QDateTime& start) const;
    void AddEntry(int camera, RecordReason reason, const QDateTime& start);
    void CompleteEntry(int camera, const QDateTime& end);
    // A file a recorder is done with: one the writer never finished is repaired as after a
    // crash. Then synced. False when it could not be made playable (yet).
    bool KeepFile(const QString& file, bool finished);
    // Stop, point the writer at `file`, run again; a file that cannot be opened ends the
    // recording.
    void SwitchFile(int camera, const QString& file);
    // The recorder failed (a full disk, a write refused, an element's error, a stall): the
    // recording ends in order and its file keeps what was written; the other cameras go on.
    // A circular recording on a full disk goes on instead, where room can be made.
    void OnFault(int camera, RecorderFault fault);
    bool GoOnAfterFullDisk(int camera);
    // The set's file after the one being written, and the set's state moved on to it.
    QString AdvanceCircularSet(int camera);
    // The set has reached the disk's end before it wrapped: it starts over its first file.
    void WrapCircularSet(int camera);
    // Deletes the oldest followers of circular sets (never a set's first file, never a file
    // being written) until `wantedBytes` are free; true when anything was deleted.
    bool MakeRoom(uint64_t wantedBytes);
    void KeepCircularRoom();
    uint64_t CircularMarginBytes() const;
    void MeasureWriteRate();
    // Says that the file gives way, when it holds anything.
    void TellReused(int camera, const QString& file);
    std::optional<uint64_t> FreeBytes() const;
    uint32_t FrameRate(int camera) const;

    RecordingHost& host_;
    RecordingList* list_;
    RecordingSetup setup_;
    std::array<CameraRecording, kCameras> cameras_;
    PreAlarmCameras preAlarm_;
    std::array<int, kCameras> highestIndex_{};
    int running_ = 0;
    bool faultTold_ = false;  // one message for faults that come together
    int unattendedRefusal_ = 0;  // the text last told for an alarm's or a schedule's start
    platform::DurableWriter* writer_ = nullptr;
    // What the cameras' files held at the last disk watch, and the rate measured from them.
    struct WrittenSample {
        QString file;
        int64_t bytes = 0;
    };
    std::array<WrittenSample, kCameras> written_;
    QDateTime writtenAt_;
    double bytesPerSecond_ = 0;
};

}  // namespace ovistra
