// The main window's capture steps: building and starting the capture graph with its device
// control and switching thread, the camera enable set, and the capture part of the shutdown.
#include <QLabel>
#include <QPushButton>

#include "capture_graph.h"
#include "event_log.h"
#include "frame_grabber.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "station_statistics.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kCaptureFailed = -1;

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
    const media::DeviceList& devices = context_.devices ? *context_.devices : NoDevices();
    captureGraph_ = std::make_unique<CaptureGraph>(devices);
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
    if (!deviceControl_.Open(devices, captureGraph_->alternateDevice())) {
        PrintCaptureFailed(ids::kTextNoCaptureDevice, ids::kCaptionGeneral);
        FailStartup(ids::kTextNoCaptureDevice, ids::kCaptionGeneral);
        return kCaptureFailed;
    }
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
    return 0;
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
    // No more pictures will come: every file is closed and listed now, not at exit.
    captureRunning_ = false;
    recording_->StopAll();
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
    // The views outlive the graph as children of the window; they let go of its grabbers now.
    DetachVideoViews();
    captureGraph_->TearDown();
}

void CQuorvaneDlg::RecordCaptureStatistics() {
    if (!context_.statistics) {
        return;
    }
    for (int i = 0; i < RegistrySettings::kCameras; ++i) {
        context_.statistics->frames[i].store(captureGraph_->router().grabber(i).framesReceived());
    }
}

}  // namespace ovistra
