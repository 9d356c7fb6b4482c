// The main window's motion detection: the motion button and timer handed to the detection run,
// what the run asks of the window (recordings, the alarm sound, the alarm frames), and the
// motion settings dialog.
#include <QImage>
#include <QPushButton>

#include "c_color_button.h"
#include "c_motion_set.h"
#include "c_sound_player.h"
#include "capture_graph.h"
#include "colour_scheme.h"
#include "event_log.h"
#include "folders.h"
#include "frame_grabber.h"
#include "message_box.h"
#include "motion_zones.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "window_ids.h"
#include "yuy2_to_rgb32_scaled.h"

namespace ovistra {
namespace {

constexpr int kCameras = DetectionRun::kCameras;
const QColor kDetectingColour(255, 0, 0);
const QColor kDetectionStoppedColour(0, 255, 100);
const QColor kAlarmColour(255, 0, 0);

QString CameraField(int camera) {
    return QString::number(camera);
}

// The zone editor's picture: half size is plenty to draw on and cheap a few times a second.
constexpr int kZonePictureShownWidth = 320;
constexpr int kZonePictureShownHeight = 240;

}  // namespace

DetectionRun::Settings CQuorvaneDlg::CurrentDetectionSettings() const {
    DetectionRun::Settings settings{settings_.motionDetectCamera, settings_.senseMode,
                                    settings_.detectingAction};
    for (int camera = 0; camera < kCameras; ++camera) {
        settings.zones[camera] = ParseMotionZones(settings_.motionZones[camera]);
    }
    settings.lightChangeReject = settings_.lightChangeReject;
    settings.alarmMinTicks = settings_.alarmMinTicks;
    return settings;
}

void CQuorvaneDlg::ToggleMotionDetection() {
    detection_->Toggle(CurrentDetectionSettings());
}

void CQuorvaneDlg::OnMotionTick() {
    const DetectionRun::Tick tick(*detection_);
    if (!captureGraph_ || !tick) {
        return;
    }
    // An alarm's recording that cannot start tells so without waiting for the user.
    const platform::MessageBoxes::NoWaitScope noWait;
    // A capture built anew (a device back after a loss) has grabbers without the taps.
    recording_->preAlarm().Follow(captureGraph_->router());
    for (int camera = 1; camera <= kCameras; ++camera) {
        if (!detection_->HasDetector(camera)) {
            continue;
        }
        // The lease keeps the frame whole while the detector reads it.
        const media::FrameGrabber::Lease lease =
            captureGraph_->router().grabber(camera - 1).GetBuffer();
        detection_->CheckCameraMotion(camera, lease.data());
    }
}

void CQuorvaneDlg::OnMotionSetButton() {
    if (!motionSetDlg_) {
        motionSetDlg_ = new CMotionSet(*context_.resources, Handle(), this);
        motionSetDlg_->SetValues({settings_.motionDetectCamera, settings_.senseMode,
                                  settings_.detectingAction, settings_.motionZones,
                                  settings_.preAlarmSeconds, settings_.lightChangeReject,
                                  settings_.alarmMinTicks});
        motionSetDlg_->SetPictureSource([this](int camera) { return LivePicture(camera); });
        motionSetDlg_->SetTickSource([this](int camera) { return detection_->LastTick(camera); });
        // From now on the motion settings are written at exit.
        openedDialogs_.motion = true;
    } else if (motionSetDlg_->isVisible()) {
        motionSetDlg_->hide();
        return;
    }
    motionSetDlg_->show();
}

void CQuorvaneDlg::OnMotionSetAnswer(bool confirmed) {
    if (!motionSetDlg_) {
        return;
    }
    motionSetDlg_->hide();
    if (!confirmed) {
        return;
    }
    const MotionValues& values = motionSetDlg_->values();
    settings_.motionDetectCamera = values.cameraMask;
    settings_.senseMode = values.senseMode;
    settings_.detectingAction = values.actions;
    settings_.motionZones = values.motionZones;
    settings_.preAlarmSeconds = values.preAlarmSeconds;
    settings_.lightChangeReject = values.lightChangeReject;
    settings_.alarmMinTicks = values.alarmMinTicks;
    // Written now as well as at exit, so a crash after the confirm keeps it.
    store_.SaveMotionSettings(settings_);
    if (detection_->running()) {
        detection_->ApplySettings(CurrentDetectionSettings());
    }
}

QImage CQuorvaneDlg::LivePicture(int camera) {
    if (!captureGraph_) {
        return {};
    }
    // The lease keeps the frame whole while it is converted.
    const media::FrameGrabber::Lease lease =
        captureGraph_->router().grabber(camera - 1).GetBuffer();
    if (!lease.data()) {
        return {};
    }
    QImage picture(kZonePictureShownWidth, kZonePictureShownHeight, QImage::Format_RGB32);
    Yuy2ToRgb32Scaled(reinterpret_cast<uint32_t*>(picture.bits()),
                      static_cast<int>(picture.bytesPerLine() / 4), picture.width(),
                      picture.height(), lease.data());
    return picture;
}

void CQuorvaneDlg::OnSoundNotification() {
    // A file found unplayable, or an output lost, only once the sound was under way.
    if (soundPlayer_ && soundPlayer_->DrainEvents() == CSoundPlayer::Drained::Failed) {
        EventLog::Instance().Print("alarm-sound-unavailable");
    }
}

void CQuorvaneDlg::StartDetectionAsked() {
    if (context_.detectAtStart && !detection_->running()) {
        OnCommand(ids::kMotionButton);
    }
}

void CQuorvaneDlg::ShowAlarmFrames() {
    for (int camera = 0; camera < kCameras; ++camera) {
        if (QWidget* frame = Control(kAlarmFrameIds[camera])) {
            frame->setVisible(layout_.alarmsShown && detection_->running());
        }
    }
}

// --- what the detection run asks of the window

bool CQuorvaneDlg::CameraRecorded(int camera) const {
    return recording_->IsRecording(camera);
}

bool CQuorvaneDlg::CameraRecordedBySchedule(int camera) const {
    return RecordingBySchedule(camera - 1);
}

void CQuorvaneDlg::ToggleCameraRecording(int camera, bool byAlarm) {
    recording_->SetSetup(CurrentRecordingSetup());
    if (byAlarm && !recording_->IsRecording(camera)) {
        recording_->StartAlarmRecording(camera);
        return;
    }
    recording_->ToggleRecording(camera, byAlarm ? RecordReason::Alarm : RecordReason::Hand);
}

void CQuorvaneDlg::StartDetectionTimer(uint32_t periodMs) {
    SetTimer(ids::kMotionTimer, periodMs);
}

void CQuorvaneDlg::StopDetectionTimer() {
    KillTimer(ids::kMotionTimer);
}

void CQuorvaneDlg::TellNoCameraSelected() {
    platform::MessageBoxes::Instance().Show(ids::kTextNoMotionCamera, ids::kCaptionGeneral,
                                            platform::MessageIcon::Information,
                                            platform::MessageButtons::Ok, this);
}

void CQuorvaneDlg::ShowDetectionRunning(bool running) {
    if (auto* button = qobject_cast<QPushButton*>(Control(ids::kMotionButton))) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, running ? kDetectingColour : kDetectionStoppedColour);
        palette.setColor(QPalette::ButtonText, Qt::black);
        button->setPalette(palette);
        if (auto* drawn = qobject_cast<CColorButton*>(button)) {
            drawn->SetOwnColours(Qt::black, running ? kDetectingColour : kDetectionStoppedColour);
        }
        button->update();
    }
    if (running) {
        // The squares start in the window's colour; only an alarm paints them red.
        for (int camera = 1; camera <= kCameras; ++camera) {
            ColourAlarmFrame(camera, false);
        }
    }
    ShowAlarmFrames();
    media::FrameRouter* router = captureGraph_ ? &captureGraph_->router() : nullptr;
    if (running) {
        QStringList cameras;
        uint32_t watched = 0;
        for (int camera = 1; camera <= kCameras; ++camera) {
            if (detection_->HasDetector(camera)) {
                cameras << CameraField(camera);
                watched |= 1u << (camera - 1);
            }
        }
        // Only the watched cameras keep pictures for an alarm's recording, only while watched.
        recording_->preAlarm().Start(watched, settings_.preAlarmSeconds, router);
        EventLog::Instance().Print("detection-started",
                                   {{"cameras", cameras.join(QLatin1Char(','))},
                                    {"tick", QString::number(detection_->tickMs())}});
    } else {
        recording_->preAlarm().Stop(router);
        EventLog::Instance().Print("detection-stopped");
    }
}

void CQuorvaneDlg::ColourAlarmFrame(int camera, bool alarm) {
    // The picture's own border blinks with the square, in every view state.
    overlays_[camera - 1].SetAlarmLit(alarm);
    QWidget* frame = Control(kAlarmFrameIds[camera - 1]);
    if (!frame) {
        return;
    }
    const ColourScheme& scheme = CurrentColourScheme();
    const QColor colour =
        alarm ? kAlarmColour
              : QColor(scheme.backgroundRed, scheme.backgroundGreen, scheme.backgroundBlue);
    frame->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid rgb(20, 24, 30);")
                             .arg(colour.name()));
}

void CQuorvaneDlg::StartAlarmSound() {
    if (!soundPlayer_) {
        soundPlayer_ = std::make_unique<CSoundPlayer>(Handle(), ids::kSoundNotify);
    }
    // A sound that failed is built again at the next alarm: the file or the output may be back.
    // Without it the alarm goes on silent.
    if (!soundPlayer_->opened() &&
        !soundPlayer_->Open(platform::JoinPath(programFolder(), QStringLiteral("Alarm.wav")))) {
        EventLog::Instance().Print("alarm-sound-unavailable");
        return;
    }
    soundPlayer_->Start();
}

void CQuorvaneDlg::StopAlarmSound() {
    if (soundPlayer_) {
        soundPlayer_->Stop();
    }
}

void CQuorvaneDlg::LightChanged(int camera) {
    EventLog::Instance().Print("light-change", {{"camera", CameraField(camera)}});
}

void CQuorvaneDlg::DetectionUnavailable(CDetectorRecord::Availability why) {
    EventLog::Instance().Print(
        "detection-unavailable",
        {{"reason", why == CDetectorRecord::Availability::NoLibrary ? QStringLiteral("library")
                                                                    : QStringLiteral("export")}});
}

}  // namespace ovistra
