// What the sibling link asks of the main window, answered from the window's own state.
#pragma once

#include <QMetaObject>

#include "quorvane_dlg.h"
#include "window_ids.h"

namespace ovistra {

class CQuorvaneDlg::LinkHost final : public SiblingLink::Host {
public:
    explicit LinkHost(CQuorvaneDlg& dlg) : dlg_(dlg) {}

    // The graph, running or not: a lost device must not keep timer 21 firing.
    bool CaptureExists() const override { return dlg_.captureGraph_ != nullptr; }
    bool CameraRecording(int camera) const override {
        return dlg_.recording_->IsRecording(camera);
    }
    QString LinkRecordingOf(int camera) const override {
        const RecordingControl& recording = *dlg_.recording_;
        return recording.IsRecording(camera) && recording.reason(camera) == RecordReason::Link
                   ? recording.fileName(camera)
                   : QString();
    }
    void ToggleLinkRecording(int camera) override {
        dlg_.recording_->SetSetup(dlg_.CurrentRecordingSetup());
        dlg_.recording_->ToggleRecording(camera, RecordReason::Link);
    }
    bool CameraOn(int camera) const override {
        return dlg_.switchState_.cameraEnabled[camera - 1].load() != 0;
    }
    void SwitchCameraOn(int camera) override { dlg_.OnCameraButton(camera - 1); }
    void ShowOnlyCamera(int camera) override {
        for (int other = 0; other < SwitchState::kCameras; ++other) {
            dlg_.switchState_.cameraEnabled[other].store(other == camera - 1 ? 1 : 0);
        }
        dlg_.AfterCameraChange();
    }
    void StartRegisterTimer() override { dlg_.SetTimer(ids::kSiblingRecordTimer, 50); }
    void StopRegisterTimer() override { dlg_.KillTimer(ids::kSiblingRecordTimer); }
    void Exit() override {
        // After the handler: the exit sequence must not run inside the link's own read.
        QMetaObject::invokeMethod(
            &dlg_, [dlg = &dlg_] { dlg->OnCommand(ids::kExitButton); }, Qt::QueuedConnection);
    }
    bool IsSiblingWindow(intptr_t value) const override {
        // The sender's own process id, while its connection is open.
        return value > 0 && value == dlg_.linkSender_ && dlg_.linkListener_ &&
               dlg_.linkListener_->IsConnected(static_cast<pid_t>(value));
    }

private:
    CQuorvaneDlg& dlg_;
};

}  // namespace ovistra
