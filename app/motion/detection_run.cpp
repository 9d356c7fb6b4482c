#include "detection_run.h"

#include <algorithm>

namespace ovistra {

DetectionRun::DetectionRun(DetectionHost& host, DetectorFactory factory)
    : host_(host), factory_(std::move(factory)) {
    if (!factory_) {
        factory_ = [] { return std::make_unique<CDetectorRecord>(); };
    }
}

DetectionRun::~DetectionRun() = default;

uint32_t DetectionRun::TickMs(uint32_t senseMode) {
    return senseMode == kFastSenseMode ? kFastTickMs : kTickMs;
}

void DetectionRun::Toggle(const Settings& settings) {
    if (running_) {
        // Stopping needs no camera: settings confirmed meanwhile may have cleared them all.
        host_.StopDetectionTimer();
        running_ = false;
        Stop();
        host_.ShowDetectionRunning(false);
        soundOwner_ = 0;
        return;
    }
    if ((settings.cameraMask & kCameraBits) == 0) {
        host_.TellNoCameraSelected();
        return;
    }
    settings_ = settings;
    tickMs_ = TickMs(settings.senseMode);
    Start();
    host_.StartDetectionTimer(tickMs_);
    running_ = true;
    host_.ShowDetectionRunning(true);
}

void DetectionRun::ApplySettings(const Settings& settings) {
    settings_.senseMode = settings.senseMode;
    settings_.actions = settings.actions;
    settings_.zones = settings.zones;
    settings_.lightChangeReject = settings.lightChangeReject;
    settings_.alarmMinTicks = settings.alarmMinTicks;
    for (int n = 1; n <= kCameras; ++n) {
        if (Camera(n).detector) {
            Configure(n);
        }
    }
}

void DetectionRun::Configure(int n) {
    CDetectorRecord& detector = *Camera(n).detector;
    const bool followsNoise = settings_.senseMode == kNoiseSenseMode;
    detector.SetThresholdFollowsNoise(followsNoise);
    if (!followsNoise) {
        detector.SetDiffThreshold(static_cast<int16_t>(settings_.senseMode));
    }
    detector.SetZones(settings_.zones[static_cast<size_t>(n - 1)]);
    detector.SetLightChangeReject(settings_.lightChangeReject);
}

const TickPicture& DetectionRun::LastTick(int camera) const {
    static const TickPicture kNone;
    const CameraState& state = Camera(camera);
    return state.detector ? state.detector->LastTick() : kNone;
}

void DetectionRun::Start() {
    for (int n = 1; n <= kCameras; ++n) {
        if (((settings_.cameraMask >> (n - 1)) & 1u) == 0) {
            continue;
        }
        CameraState& camera = Camera(n);
        if (!camera.detector) {
            camera.detector = factory_();
        }
        Configure(n);
        camera.detector->SetFrameRect(0, 0, CDetectorRecord::kWidth, CDetectorRecord::kHeight);
        const CDetectorRecord::Availability availability = camera.detector->availability();
        if (availability != CDetectorRecord::Availability::Ready && !unavailableReported_) {
            unavailableReported_ = true;
            host_.DetectionUnavailable(availability);
        }
    }
}

void DetectionRun::Stop() {
    for (int n = 1; n <= kCameras; ++n) {
        CameraState& camera = Camera(n);
        if (!camera.detector) {
            continue;
        }
        camera.detector.reset();
        if (camera.alarmActive) {
            host_.AlarmEnded(n);
        }
        camera.alarmActive = false;
        camera.quietTicks = 0;
        camera.motionTicks = 0;
        camera.inLightChange = false;
        // Whatever started it: a watched camera's recording ends with its detection.
        if (host_.CameraRecorded(n)) {
            host_.ToggleCameraRecording(n, false);
        }
    }
    if (soundPlaying_) {
        SetAlarmSound(false);
    }
    for (int n = 1; n <= kCameras; ++n) {
        host_.ColourAlarmFrame(n, false);
    }
}

bool DetectionRun::MayRecordOnAlarm(int camera) const {
    // A scheduled recording belongs to its schedule: an alarm neither starts nor ends it.
    return (settings_.actions & kRecordAction) != 0 && !host_.CameraRecordedBySchedule(camera);
}

void DetectionRun::CheckCameraMotion(int n, const uint8_t* frame) {
    CameraState& camera = Camera(n);
    if (!frame || !camera.detector) {
        return;
    }
    camera.detector->ProcessFrame(frame);
    uint32_t motion = 0;
    camera.detector->QueryAlarm(&motion);

    const bool light = camera.detector->LightChanged() && settings_.lightChangeReject;
    if (light && !camera.inLightChange) {
        host_.LightChanged(n);
    }
    camera.inLightChange = light;
    camera.motionTicks = motion == 1 ? camera.motionTicks + 1 : 0;
    const uint32_t minTicks = std::clamp<uint32_t>(settings_.alarmMinTicks, 1, kMaxAlarmMinTicks);
    if (!camera.alarmActive && motion == 1 && camera.motionTicks >= minTicks) {
        StartAlarm(n);
    }
    if (!camera.alarmActive) {
        return;
    }
    if (motion == 1) {
        camera.quietTicks = 0;
        soundOwner_ = n;
    } else {
        ++camera.quietTicks;
    }
    camera.blinkPhase = !camera.blinkPhase;
    host_.ColourAlarmFrame(n, !camera.blinkPhase);
    if (camera.quietTicks > kQuietTicksInAlarm) {
        EndAlarm(n);
    }
}

void DetectionRun::StartAlarm(int n) {
    CameraState& camera = Camera(n);
    camera.alarmActive = true;
    camera.quietTicks = 0;
    host_.AlarmStarted(n);
    if (!host_.CameraRecorded(n) && MayRecordOnAlarm(n)) {
        host_.ToggleCameraRecording(n, true);
    }
    if ((settings_.actions & kSoundAction) != 0) {
        // A new alarm plays the sound from its beginning.
        if (soundPlaying_) {
            SetAlarmSound(false);
        }
        SetAlarmSound(true);
        soundOwner_ = n;
    }
    if (camera.blinkPhase) {
        camera.blinkPhase = false;
        host_.ColourAlarmFrame(n, true);
    }
}

void DetectionRun::EndAlarm(int n) {
    CameraState& camera = Camera(n);
    if (host_.CameraRecorded(n) && MayRecordOnAlarm(n)) {
        host_.ToggleCameraRecording(n, false);
    }
    if (soundPlaying_ && soundOwner_ == n) {
        SetAlarmSound(false);
    }
    host_.ColourAlarmFrame(n, false);
    camera.alarmActive = false;
    camera.quietTicks = 0;
    host_.AlarmEnded(n);
}

void DetectionRun::SetAlarmSound(bool on) {
    if (on) {
        host_.StartAlarmSound();
        soundPlaying_ = true;
        return;
    }
    host_.StopAlarmSound();
    soundPlaying_ = false;
    soundOwner_ = 0;
}

}  // namespace ovistra
