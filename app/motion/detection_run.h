// The detection run: the motion button's start and stop, one detector per watched camera, and
// each camera's alarm: it starts on the first tick with motion and ends on the eleventh
// consecutive tick without. An alarm records the camera, sounds the alarm (one sound shared by
// all cameras, stopped only by the alarm that last asked for it) and blinks the camera's frame.
// Everything runs on the UI thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "c_detector_record.h"
#include "reentry_guard.h"

namespace ovistra {

// What the run asks of the window that holds it. Cameras are numbered 1..4.
class DetectionHost {
public:
    virtual ~DetectionHost() = default;
    virtual bool CameraRecorded(int camera) const = 0;
    virtual bool CameraRecordedBySchedule(int camera) const = 0;
    // Starts the camera's recording, labelled as started by an alarm when `byAlarm`, or stops
    // it when it runs.
    virtual void ToggleCameraRecording(int camera, bool byAlarm) = 0;
    virtual void StartDetectionTimer(uint32_t periodMs) = 0;
    virtual void StopDetectionTimer() = 0;
    virtual void TellNoCameraSelected() = 0;
    // The motion button's colour, and the alarm frames shown while detection runs.
    virtual void ShowDetectionRunning(bool running) = 0;
    // Red while `alarm`, else the window's background colour.
    virtual void ColourAlarmFrame(int camera, bool alarm) = 0;
    virtual void StartAlarmSound() = 0;
    virtual void StopAlarmSound() = 0;
    virtual void AlarmStarted(int camera) = 0;
    virtual void AlarmEnded(int camera) = 0;
    // Once per run of the program: detection will never report motion.
    virtual void DetectionUnavailable(CDetectorRecord::Availability why) = 0;
};

class DetectionRun {
public:
    static constexpr int kCameras = 4;
    static constexpr uint32_t kCameraBits = 0xF;  // higher bits of the mask mean nothing
    static constexpr uint32_t kRecordAction = 1;
    static constexpr uint32_t kSoundAction = 2;
    static constexpr uint32_t kFastSenseMode = 50;
    static constexpr uint32_t kTickMs = 500;
    static constexpr uint32_t kFastTickMs = 250;
    static constexpr int kQuietTicksInAlarm = 10;  // the next quiet tick ends the alarm

    struct Settings {
        uint32_t cameraMask = 0;   // "MotionDetectCamera"
        uint32_t senseMode = 200;  // "SenseMode"
        uint32_t actions = 1;      // "DetectingAction"
    };

    using DetectorFactory = std::function<std::unique_ptr<CDetectorRecord>()>;

    // Without a factory each watched camera gets a detector over the station's own library.
    explicit DetectionRun(DetectionHost& host, DetectorFactory factory = {});
    ~DetectionRun();
    DetectionRun(const DetectionRun&) = delete;
    DetectionRun& operator=(const DetectionRun&) = delete;

    static uint32_t TickMs(uint32_t senseMode);

    // The motion button: starts detection with `settings`, or stops it when it runs. Without a
    // watched camera the user is told and nothing changes.
    void Toggle(const Settings& settings);
    // The motion settings were confirmed: the threshold and the actions change at once; the
    // watched cameras and the tick wait for the next start.
    void ApplySettings(const Settings& settings);

    // Held for one tick. A tick asked for while one runs (from a loop nested in an alarm's
    // actions) is refused, so no alarm starts or ends inside another's.
    class Tick : public ReentryGuard {
    public:
        explicit Tick(DetectionRun& run) : ReentryGuard(run.ticking_) {}
    };

    // One tick for a camera that has a detector, with its latest frame (null: none yet).
    void CheckCameraMotion(int camera, const uint8_t* frame);

    bool running() const { return running_; }
    bool HasDetector(int camera) const { return Camera(camera).detector != nullptr; }
    bool AlarmActive(int camera) const { return Camera(camera).alarmActive; }
    bool soundPlaying() const { return soundPlaying_; }
    int soundOwner() const { return soundOwner_; }
    uint32_t tickMs() const { return tickMs_; }

private:
    struct CameraState {
        std::unique_ptr<CDetectorRecord> detector;
        bool alarmActive = false;
        int quietTicks = 0;
        bool blinkPhase = true;
    };
    CameraState& Camera(int camera) { return cameras_[camera - 1]; }
    const CameraState& Camera(int camera) const { return cameras_[camera - 1]; }

    void Start();
    void Stop();
    void StartAlarm(int camera);
    void EndAlarm(int camera);
    void SetAlarmSound(bool on);
    bool MayRecordOnAlarm(int camera) const;

    DetectionHost& host_;
    DetectorFactory factory_;
    Settings settings_;
    std::array<CameraState, kCameras> cameras_;
    bool running_ = false;
    uint32_t tickMs_ = kTickMs;
    bool soundPlaying_ = false;
    int soundOwner_ = 0;
    bool unavailableReported_ = false;
    bool ticking_ = false;
};

}  // namespace ovistra
