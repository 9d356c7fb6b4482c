// The detection run: the motion button's start and stop, one detector per watched camera, and
// each camera's alarm: it starts after "AlarmMinTicks" consecutive ticks with motion (one by
// default) and ends on the eleventh consecutive tick without. A light change is no motion. An alarm records the camera, sounds the alarm (one sound shared by
// all cameras, stopped only by the alarm that last asked for it) and blinks the camera's frame.
// Everything runs on the UI thread.
#pragma once

#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

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
    // Once per light change a camera sees, however many ticks it lasts.
    virtual void LightChanged(int /*camera*/) {}
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
    static constexpr uint32_t kNoiseSenseMode = 0;  // the threshold follows the noise
    static constexpr uint32_t kMaxAlarmMinTicks = 20;

    struct Settings {
        uint32_t cameraMask = 0;   // "MotionDetectCamera"
        uint32_t senseMode = 200;  // "SenseMode": 1..255 a fixed threshold, 0 the noise's
        uint32_t actions = 1;      // "DetectingAction"
        std::array<std::vector<QRect>, kCameras> zones{};  // none: the whole picture
        bool lightChangeReject = true;                     // "LightChangeReject"
        uint32_t alarmMinTicks = 1;                        // "AlarmMinTicks", 1..20
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
    // The motion settings were confirmed: the threshold, zones, light and tick rules and the
    // actions change at once; the watched cameras and the tick wait for the next start.
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
    // What the camera's last tick saw; not valid while the camera has no detector or has
    // been compared once at most.
    const TickPicture& LastTick(int camera) const;

private:
    struct CameraState {
        std::unique_ptr<CDetectorRecord> detector;
        bool alarmActive = false;
        int quietTicks = 0;
        bool blinkPhase = true;
        uint32_t motionTicks = 0;  // consecutive ticks with motion
        bool inLightChange = false;
    };
    CameraState& Camera(int camera) { return cameras_[camera - 1]; }
    const CameraState& Camera(int camera) const { return cameras_[camera - 1]; }

    void Start();
    void Stop();
    void Configure(int camera);
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
