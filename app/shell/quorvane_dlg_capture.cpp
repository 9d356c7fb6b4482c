// The main window's capture steps: building and starting the capture graph with its device
// control and switching thread, the camera enable set, and the capture part of the shutdown.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "capture_graph.h"
#include "event_log.h"
#include "frame_grabber.h"
#include "local_clock.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "station_statistics.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kCaptureFailed = -1;
// How often a lost capture device is looked for.
constexpr int kDeviceWatchMs = 500;

const media::StaticDeviceList& NoDevices() {
    static const media::StaticDeviceList empty;
    return empty;
}

QString CaptureFailureReason(CaptureGraph::BuildResult result) {
    switch (result) {
        case CaptureGraph::BuildResult::NoSource:
            return QStringLiteral("no-source");
        case CaptureGraph::BuildResult::NoCrossbar:
            return QStringLiteral("no-crossbar");
        case CaptureGraph::BuildResult::NoAmplifier:
            return QStringLiteral("no-amplifier");
        case CaptureGraph::BuildResult::Built:
        case CaptureGraph::BuildResult::NoDevice:
            break;
    }
    return {};
}

void PrintCaptureFailed(int textId, int captionId) {
    EventLog::Instance().Print("capture-failed", {{"text", QString::number(textId)},
                                                  {"caption", QString::number(captionId)}});
}

}  // namespace

int CQuorvaneDlg::StartCapture() {
    captureGraph_ = std::make_unique<CaptureGraph>(CaptureDevices());
    const CaptureGraph::BuildResult built = captureGraph_->Build(settings_.brightness);
    if (built == CaptureGraph::BuildResult::NoDevice) {
        PrintCaptureFailed(ids::kTextNoCaptureDevice, ids::kCaptionWarning);
        FailStartup(ids::kTextNoCaptureDevice, ids::kCaptionWarning);
        return kCaptureFailed;
    }
    ApplyCameraEnableSet();
    if (built != CaptureGraph::BuildResult::Built) {
        // The graph stays as built, without pictures; the station runs on.
        EventLog::Instance().Print("capture-failed", {{"reason", CaptureFailureReason(built)}});
        return kCaptureFailed;
    }
    if (!deviceControl_.Open(CaptureDevices(), captureGraph_->alternateDevice())) {
        PrintCaptureFailed(ids::kTextNoCaptureDevice, ids::kCaptionGeneral);
        FailStartup(ids::kTextNoCaptureDevice, ids::kCaptionGeneral);
        return kCaptureFailed;
    }
    RunCapture();
    if (QWidget* status = Control(ids::kStatusText)) {
        status->hide();
    }
    EventLog::Instance().Print(
        "capture-started",
        {{"device", context_.simulatedDevice ? QStringLiteral("sim") : QStringLiteral("real")},
         {"name", QString::fromStdString(captureGraph_->device()->FriendlyName())}});
    recording_->SetSetup(CurrentRecordingSetup());
    StartRecordingsAsked();
    StartDetectionAsked();
    StartStillsAsked();
    StartNetworkView();
    return 0;
}

const media::DeviceList& CQuorvaneDlg::CaptureDevices() const {
    return context_.devices ? *context_.devices : NoDevices();
}

void CQuorvaneDlg::RunCapture() {
    media::FrameRouter& router = captureGraph_->router();
    CameraSwitcher::Timings timings{
        [this] { return settings_.eachTimeMs.Get(); },
        [this] { return settings_.disTimeMs.Get(); },
        [this] { return settings_.intervalTimeMs.Get(); },
    };
    CameraSwitcher::Hooks hooks;
    hooks.selectOutput = [&router](int camera) { router.SelectOutput(camera); };
    hooks.switchDecoderInput = [this](int camera) {
        const uint32_t input = static_cast<uint32_t>(camera);
        deviceControl_.WriteI2C(media::kDecoderAddress, media::kDecoderInputRegister, 1, &input);
        if (context_.statistics) {
            context_.statistics->switches.fetch_add(1, std::memory_order_relaxed);
        }
    };
    hooks.cyclingCameraShown = [this](int camera) {
        QMetaObject::invokeMethod(
            this, [this, camera] { ShowCyclingCamera(camera); }, Qt::QueuedConnection);
    };
    hooks.handOver = [this](int camera) { HandOverPicture(camera); };
    switcher_ =
        std::make_unique<CameraSwitcher>(switchState_, std::move(timings), std::move(hooks));
    captureGraph_->SetDeviceLostHandler([this] { OnDeviceLost(); });
    AttachVideoViews();
    switcher_->Start();
    captureRunning_ = captureGraph_->Run();
    AttachNetworkView();
}

void CQuorvaneDlg::ApplyCameraEnableSet() {
    int enabled = 0;
    for (const auto& flag : switchState_.cameraEnabled) {
        enabled += flag.load() != 0 ? 1 : 0;
    }
    const bool cycling = switchState_.cyclingView.load();
    if (captureGraph_) {
        captureGraph_->router().SetSingleView(enabled == 1 || cycling);
    }
    switchState_.singleCameraMode.store(enabled == 1);
    allCamerasActive_ = enabled == RegistrySettings::kCameras;
    if (enabled > 0) {
        // The switching thread idles until it sees a camera again.
        switchState_.noCameraActive.store(false);
    } else if (auto* caption = qobject_cast<QLabel*>(Control(ids::kLargeCaption))) {
        caption->setText(QStringLiteral("No Camera"));
    }
    if (QWidget* cyclingButton = Control(ids::kCyclingButton)) {
        cyclingButton->setEnabled(enabled > 0 || cycling);
    }
    // All four at once only while all four are shown.
    if (QWidget* recordAll = Control(ids::kRecordAllButton)) {
        recordAll->setEnabled(allCamerasActive_);
    }
    UpdateButtonStates();
    update();
}

void CQuorvaneDlg::OnDeviceLost() {
    EventLog::Instance().Print("capture-failed", {{"reason", QStringLiteral("device-lost")}});
    // No more pictures will come: every file is closed and listed now, not at exit, and what
    // ran is started again once the device is back.
    captureRunning_ = false;
    for (int camera = 1; camera <= RecordingControl::kCameras; ++camera) {
        if (recording_->IsRecording(camera)) {
            lostRecordings_[camera - 1] =
                LostRecording{recording_->reason(camera), recording_->fileName(camera)};
        }
    }
    recording_->StopAll();
    // The switching thread would only write to a device that is not there.
    switcher_->Stop();
    ShowStatusLine(Text(ids::kTextDeviceLost));
    MarkPicturesLost(true);
    if (!deviceWatch_) {
        deviceWatch_ = new QTimer(this);
        connect(deviceWatch_, &QTimer::timeout, this, &CQuorvaneDlg::WatchLostDevice);
    }
    deviceWatch_->start(kDeviceWatchMs);
}

void CQuorvaneDlg::WatchLostDevice() {
    if (closing_ || destroyed_) {
        deviceWatch_->stop();
        return;
    }
    const media::CaptureDevice* lost = captureGraph_ ? captureGraph_->device() : nullptr;
    if (lost != nullptr && !lost->Present()) {
        return;
    }
    // The old graph goes whole: its source is dead and the device control spoke to the device
    // that went.
    switcher_->Stop();
    RecordCaptureStatistics();
    DetachVideoViews();
    DetachNetworkView();
    captureGraph_.reset();
    deviceControl_.Close();
    captureGraph_ = std::make_unique<CaptureGraph>(CaptureDevices());
    if (captureGraph_->Build(settings_.brightness) != CaptureGraph::BuildResult::Built ||
        !deviceControl_.Open(CaptureDevices(), captureGraph_->alternateDevice())) {
        return;  // gone again, or not whole yet: the next look tries anew
    }
    ApplyCameraEnableSet();
    RunCapture();
    if (!captureRunning_) {
        return;
    }
    deviceWatch_->stop();
    if (QWidget* status = Control(ids::kStatusText)) {
        status->hide();
    }
    MarkPicturesLost(false);
    EventLog::Instance().Print(
        "capture-restored",
        {{"name", QString::fromStdString(captureGraph_->device()->FriendlyName())}});
    RestartLostRecordings();
}

void CQuorvaneDlg::RestartLostRecordings() {
    recording_->SetSetup(CurrentRecordingSetup());
    for (int camera = 1; camera <= RecordingControl::kCameras; ++camera) {
        const std::optional<LostRecording> lost = std::exchange(lostRecordings_[camera - 1], {});
        if (!lost || recording_->IsRecording(camera) || !StillWanted(camera, *lost)) {
            continue;
        }
        recording_->ToggleRecording(camera, lost->reason);
        if (lost->reason == RecordReason::Link && link_) {
            link_->RecordingRestarted(camera, lost->file);
        }
    }
}

bool CQuorvaneDlg::StillWanted(int camera, const LostRecording& lost) const {
    // Whatever would have ended the recording while the device was away still ends it.
    switch (lost.reason) {
        case RecordReason::Hand:
            return true;
        case RecordReason::Alarm:
            return detection_->running() && detection_->AlarmActive(camera);
        case RecordReason::Link:
            return link_ && link_->Owns(camera, lost.file);
        case RecordReason::Schedule: {
            const QString now = platform::LocalNow().toString(QStringLiteral("yyyyMMddHHmmss"));
            return (settings_.scheduleCamera & (1u << (camera - 1))) != 0 &&
                   settings_.cameraSchedule[camera - 1] <= now &&
                   now < settings_.cameraEndSchedule[camera - 1];
        }
    }
    return false;
}

void CQuorvaneDlg::StopSwitching() {
    if (switcher_) {
        switcher_->Stop();
    }
}

void CQuorvaneDlg::StopCaptureGraph() {
    captureRunning_ = false;
    if (captureGraph_) {
        captureGraph_->Stop();
    }
}

void CQuorvaneDlg::CloseDeviceControl() {
    deviceControl_.Close();
}

void CQuorvaneDlg::TearDownCaptureGraph() {
    if (!captureGraph_) {
        return;
    }
    RecordCaptureStatistics();
    DetachNetworkView();
    // The views outlive the graph as children of the window; they let go of its grabbers now.
    DetachVideoViews();
    captureGraph_->TearDown();
}

void CQuorvaneDlg::RecordCaptureStatistics() {
    if (!context_.statistics) {
        return;
    }
    for (int i = 0; i < RegistrySettings::kCameras; ++i) {
        // Each graph a lost device made the station build adds its frames.
        context_.statistics->frames[i].fetch_add(
            captureGraph_->router().grabber(i).framesReceived());
    }
}

}  // namespace ovistra
