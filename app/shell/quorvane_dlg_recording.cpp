// The main window's recording steps: the recording list at start, the record buttons and
// timers handed to the recording control, what the control asks of the window, and the record
// settings dialog.
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <algorithm>

#include "capture_graph.h"
#include "disk_space.h"
#include "event_log.h"
#include "folders.h"
#include "frame_grabber.h"
#include "local_clock.h"
#include "message_box.h"
#include "quorvane_dlg.h"
#include "record_set_dlg.h"
#include "recording_list.h"
#include "recording_recovery.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kCameras = RecordingControl::kCameras;

QString ReasonName(RecordReason reason) {
    switch (reason) {
        case RecordReason::Schedule:
            return QStringLiteral("schedule");
        case RecordReason::Alarm:
            return QStringLiteral("alarm");
        case RecordReason::Link:
            return QStringLiteral("link");
        case RecordReason::Hand:
            break;
    }
    return QStringLiteral("hand");
}

}  // namespace

void CQuorvaneDlg::LoadRecordingList() {
    if (!context_.recordings) {
        return;
    }
    const RecordingList::LoadResult loaded = context_.recordings->Load();
    if (loaded.unreadable) {
        const bool moved = !loaded.movedAside.isEmpty();
        EventLog::Instance().Print("recording-list-unreadable",
                                   moved ? EventFields{{"file", loaded.movedAside}}
                                         : EventFields{{"file", context_.recordings->filePath()},
                                                       {"saving", QStringLiteral("refused")}});
        platform::MessageBoxes::Instance().Show(
            moved ? ids::kTextListMovedAside : ids::kTextListLeftInPlace, ids::kCaptionWarning,
            platform::MessageIcon::Warning, platform::MessageButtons::Ok, this);
    }
    if (loaded.damaged) {
        EventLog::Instance().Print(
            "list-damaged", {{"kept", loaded.keptAside},
                             {"entries", QString::number(context_.recordings->entries().size())}});
    }
    // Only one station runs for a user, so an entry still open was left by a run that died.
    for (const RecoveredRecording& r : RecoverOpenRecordings(*context_.recordings)) {
        switch (r.fate) {
            case RecoveredRecording::Fate::Repaired:
                EventLog::Instance().Print("recording-repaired",
                                           {{"camera", r.camera},
                                            {"file", r.file},
                                            {"seconds", QString::number(r.seconds)}});
                break;
            case RecoveredRecording::Fate::Lost:
                EventLog::Instance().Print(
                    "recording-lost", {{"camera", r.camera}, {"file", r.file}, {"reason", r.why}});
                break;
            case RecoveredRecording::Fate::Later:
                EventLog::Instance().Print(
                    "recording-repair-later",
                    {{"camera", r.camera}, {"file", r.file}, {"reason", r.why}});
                break;
        }
    }
}

RecordingSetup CQuorvaneDlg::CurrentRecordingSetup() const {
    RecordingSetup setup;
    setup.recordFolder = settings_.RecordFolder();
    setup.circular = settings_.recordMode;
    setup.frameRate = settings_.frameRate;
    setup.timeStampMask = settings_.timeStamp;
    setup.audioCamera = settings_.cameraAudio;
    if (captureGraph_) {
        setup.compressors = captureGraph_->compressors();
    }
    setup.audioInputs = SoundInputs();
    return setup;
}

std::shared_ptr<const AudioInputList> CQuorvaneDlg::SoundInputs() const {
    std::shared_ptr<const AudioInputList> machine = context_.audioInputs;
    if (!machine) {
        machine = std::make_shared<SystemAudioInputList>();
    }
    std::vector<AudioInput> own;
    AudioPreference preference;
    preference.chosenName = settings_.audioInput.toStdString();
    if (media::CaptureDevice* device = captureGraph_ ? captureGraph_->device() : nullptr) {
        preference.deviceName = device->FriendlyName();
        if (std::string name = device->AudioInputName(); !name.empty()) {
            // The run's device list holds the device for longer than any recorder lives.
            own.push_back({std::move(name), [device] { return device->MakeAudioSourceElement(); }});
        }
    }
    return std::make_shared<StationAudioInputs>(std::move(own), std::move(machine),
                                                std::move(preference));
}

void CQuorvaneDlg::OnRecordButton(int camera) {
    recording_->SetSetup(CurrentRecordingSetup());
    recording_->ToggleRecording(camera);
}

void CQuorvaneDlg::OnRecordAllButton() {
    if (!allCamerasActive_) {
        return;
    }
    recording_->SetSetup(CurrentRecordingSetup());
    recording_->ToggleAllRecording();
}

void CQuorvaneDlg::StartRecordingsAsked() {
    for (int camera : context_.recordAtStart) {
        if (!recording_->IsRecording(camera)) {
            OnRecordButton(camera);
        }
    }
    if (context_.recordAllAtStart && !recording_->allRecording()) {
        OnRecordAllButton();
    }
}

bool CQuorvaneDlg::OnRecordingTimer(uintptr_t id) {
    if (id == ids::kDiskWatchTimer) {
        recording_->WatchRecordDisk();
        return true;
    }
    if (id >= ids::kFirstFrameTimer && id < ids::kFirstFrameTimer + kCameras) {
        const int index = static_cast<int>(id - ids::kFirstFrameTimer);
        // The flag first: a frame that lands between the two reads is marked for next tick.
        const bool fresh = switchState_.frameReady[index].exchange(0) != 0;
        if (captureGraph_) {
            const media::FrameGrabber::Lease lease =
                captureGraph_->router().grabber(index).GetBuffer();
            recording_->PushFrame(index + 1, lease.data(), fresh);
        }
        return true;
    }
    if (id >= ids::kFirstCircularTimer && id < ids::kFirstCircularTimer + kCameras) {
        recording_->SetSetup(CurrentRecordingSetup());
        recording_->RotateCircularFile(static_cast<int>(id - ids::kFirstCircularTimer) + 1);
        return true;
    }
    return false;
}

void CQuorvaneDlg::CreateCameraFolders() const {
    const QString folder = settings_.RecordFolder();
    for (int n = 1; n <= kCameras; ++n) {
        QDir().mkpath(platform::JoinPath(folder, QStringLiteral("Camera%1").arg(n)));
    }
}

void CQuorvaneDlg::OnRecordSetButton() {
    if (!recordSetDlg_) {
        recordSetDlg_ = new CRecordSetDlg(settings_, *context_.resources, Handle(), this);
        // From now on the record settings are written at exit.
        openedDialogs_.record = true;
    } else if (recordSetDlg_->isVisible()) {
        recordSetDlg_->hide();
        return;
    }
    QStringList inputNames;
    for (const AudioInput& input : SoundInputs()->Inputs()) {
        inputNames << QString::fromStdString(input.name);
    }
    recordSetDlg_->SetAudioInputNames(inputNames);
    recordSetDlg_->show();
}

void CQuorvaneDlg::OnRecordSetAnswer(bool confirmed) {
    if (!recordSetDlg_) {
        return;
    }
    recordSetDlg_->hide();
    if (confirmed) {
        recordSetDlg_->CopyRecordValuesTo(settings_);
        // Written now as well as at exit, so a crash after the confirm keeps it.
        store_.SaveRecordSettings(settings_);
        CreateCameraFolders();
        recording_->SetSetup(CurrentRecordingSetup());
        ShowSettingsOnNetworkView();
    }
}

void CQuorvaneDlg::StopAllRecordings() {
    recording_->StopAll();
}

bool CQuorvaneDlg::RecordingBySchedule(int camera) const {
    return recording_->IsRecording(camera + 1) &&
           recording_->reason(camera + 1) == RecordReason::Schedule;
}

// --- what the recording control asks of the window

QDateTime CQuorvaneDlg::LocalNow() const {
    return platform::LocalNow();
}

std::optional<RecordingHost::DiskSpace> CQuorvaneDlg::FreeSpace(const QString& folder) const {
    std::optional<uint64_t> bytes = platform::FreeBytes(folder);
    if (!bytes) {
        return std::nullopt;
    }
    if (context_.simulatedDiskMb) {
        // A disk of that size that only the record folder's files fill.
        uint64_t used = 0;
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            it.next();
            used += static_cast<uint64_t>(it.fileInfo().size());
        }
        const uint64_t size = *context_.simulatedDiskMb << 20;
        bytes = std::min(*bytes, size > used ? size - used : 0);
    }
    return DiskSpace{*bytes, platform::MountPointOf(folder)};
}

bool CQuorvaneDlg::CanRecord(int camera) const {
    return captureRunning_ && camera >= 1 && camera <= kCameras &&
           switchState_.cameraEnabled[camera - 1].load() != 0;
}

void CQuorvaneDlg::StartTimer(uintptr_t id, uint32_t periodMs) {
    SetTimer(id, periodMs);
}

void CQuorvaneDlg::StopTimer(uintptr_t id) {
    KillTimer(id);
}

void CQuorvaneDlg::ShowMessage(int textId, int captionId) {
    platform::MessageBoxes::Instance().Show(textId, captionId, platform::MessageIcon::Warning,
                                            platform::MessageButtons::Ok, this);
}

QString CQuorvaneDlg::Text(int id) const {
    return context_.resources->Text(id);
}

void CQuorvaneDlg::ShowDiskLabel(const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(Control(ids::kDiskLabel))) {
        label->setText(text);
    }
}

void CQuorvaneDlg::ShowRecordingIndicator(bool shown) {
    // It sits in the side panel, which full screen hides with everything in it.
    if (QWidget* indicator = Control(ids::kRecordingIndicator)) {
        indicator->setVisible(shown);
    }
}

void CQuorvaneDlg::RecordingsChanged() {
    for (int camera = 0; camera < kCameras; ++camera) {
        switchState_.recording[camera].store(recording_->IsRecording(camera + 1));
        overlays_[camera].SetRecording(recording_->IsRecording(camera + 1));
    }
    UpdateButtonStates();
    UpdateCaptions();
    TellPlaybackRecordingsChanged();
}

void CQuorvaneDlg::RecordingStarted(int camera, RecordReason reason, const QString& file) {
    EventLog::Instance().Print(
        "recording-started",
        {{"camera", QString::number(camera)},
         {"reason", ReasonName(reason)},
         {"file", file},
         {"pre-alarm", QString::number(recording_->preAlarmMs(camera) / 1000.0, 'f', 1)}});
}

void CQuorvaneDlg::RecordingStopped(int camera, const QString& file, qint64 seconds) {
    EventLog::Instance().Print("recording-stopped", {{"camera", QString::number(camera)},
                                                     {"file", file},
                                                     {"seconds", QString::number(seconds)}});
}

void CQuorvaneDlg::RecordingFailed(int camera, int textId) {
    EventLog::Instance().Print("recording-failed",
                               {{"camera", QString::number(camera)},
                                {"text", QString::number(textId)}});
}

void CQuorvaneDlg::RecordingWithoutSound(int camera) {
    EventLog::Instance().Print("recording-without-sound", {{"camera", QString::number(camera)}});
    ShowStatusLine(Text(ids::kFirstScheduleCameraText + camera - 1) + cameraNames_[camera - 1] +
                   QLatin1Char(' ') + Text(ids::kTextRecordingWithoutSound));
}

void CQuorvaneDlg::DiskLow(const QString& folder, uint64_t freeMb) {
    EventLog::Instance().Print("disk-low",
                               {{"path", folder}, {"free-mb", QString::number(freeMb)}});
}

void CQuorvaneDlg::CircularReused(int camera, const QString& file) {
    EventLog::Instance().Print("circular-reused",
                               {{"camera", QString::number(camera)}, {"file", file}});
}

}  // namespace ovistra
