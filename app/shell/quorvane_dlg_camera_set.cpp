// The main window's camera settings: the dialog opened and closed by button 1016, its live
// announcements taken into the settings the switching thread and the captions work from, and
// the device access it adjusts the picture through.
#include "c_camera_set_dlg.h"
#include "capture_graph.h"
#include "quorvane_dlg.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

CameraSettingsValues CameraValuesOf(const RegistrySettings& s) {
    CameraSettingsValues values;
    values.names = s.cameraOsd;
    values.eachTimeMs = s.eachTimeMs.Get();
    values.disTimeMs = s.disTimeMs.Get();
    values.intervalTimeMs = s.intervalTimeMs.Get();
    values.frameSpeed = s.frameSpeed;
    values.selectDis = s.selectDis;
    values.brightness = s.brightness;
    return values;
}

void TakeTimings(const CameraSettingsValues& values, RegistrySettings& s) {
    // Each is one atomic store: the switching thread picks it up at its next sleep, never
    // waiting for the UI.
    s.eachTimeMs.Set(values.eachTimeMs);
    s.disTimeMs.Set(values.disTimeMs);
    s.intervalTimeMs.Set(values.intervalTimeMs);
}

}  // namespace

void CQuorvaneDlg::OnCameraSetButton() {
    if (!cameraSetDlg_) {
        cameraSetDlg_ = new CCameraSetDlg(*context_.resources, Handle(), this);
        // From now on the camera settings are written at exit.
        openedDialogs_.camera = true;
    } else if (cameraSetDlg_->isVisible()) {
        cameraSetDlg_->hide();
        return;
    }
    // Every opening starts from the settings in force (message 1524 may have moved one) and the
    // device of this capture run.
    cameraSetDlg_->SetValues(CameraValuesOf(settings_));
    CameraDeviceAccess access;
    if (media::CaptureDevice* device = captureGraph_ ? captureGraph_->device() : nullptr) {
        access.procAmp = device->ProcAmp();
        access.videoStandard = [device] { return device->VideoStandard(); };
        access.writeStandard = [this](uint8_t standard) {
            const uint32_t value = standard;
            deviceControl_.WriteI2C(media::kDecoderAddress, media::kDecoderStandardRegister, 1,
                                    &value);
        };
    }
    cameraSetDlg_->SetDevice(std::move(access));
    cameraSetDlg_->show();
}

void CQuorvaneDlg::OnCameraSetMessage(uint32_t msg) {
    const bool shown = cameraSetDlg_ && cameraSetDlg_->isVisible();
    if (msg == ids::kCameraSetToggle || msg == ids::kCameraSetToggleAndHand) {
        if (!shown) {
            OnCameraSetButton();
            return;
        }
    } else if (!cameraSetDlg_) {
        return;  // nothing to take from
    }
    const CameraSettingsValues& values = cameraSetDlg_->values();
    switch (msg) {
        case ids::kCameraSetToggle:
            // OK: everything the dialog holds, so an edit not yet announced is not lost.
        case ids::kCameraSetTakeAll:
            settings_.cameraOsd = values.names;
            TakeTimings(values, settings_);
            settings_.frameSpeed = values.frameSpeed;
            settings_.selectDis = values.selectDis;
            settings_.brightness = values.brightness;
            SetCameraNames(values.names);
            break;
        case ids::kCameraSetTakeTimings:
            TakeTimings(values, settings_);
            break;
        default:
            break;
    }
    if (msg == ids::kCameraSetToggle) {
        // OK. Written now as well as at exit, so a crash after the confirm keeps it.
        store_.SaveCameraSettings(settings_);
    }
    if (msg == ids::kCameraSetToggle || msg == ids::kCameraSetToggleAndHand) {
        cameraSetDlg_->hide();
        // Cancel: the dialog holds the values in force again (they came back with 1579).
        cameraSetDlg_->SetValues(CameraValuesOf(settings_));
    }
}

}  // namespace ovistra
