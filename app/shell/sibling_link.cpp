#include "sibling_link.h"

#include <QString>

#include "event_log.h"
#include "hand_over_copy.h"
#include "window_ids.h"

namespace ovistra {

SiblingLink::SiblingLink(Host& host, std::atomic<int>& linkCamera, std::string blockName)
    : host_(host), linkCamera_(linkCamera), block_(std::move(blockName)) {}

bool SiblingLink::Requested(int camera) const {
    const int link = linkCamera_.load();
    return link == kAllCameras || link == camera;
}

void SiblingLink::OnStartFrames(uintptr_t camera) {
    // A camera the station does not have would map a block no picture ever fills.
    if (!ValidCamera(camera)) {
        return;
    }
    active_ = true;
    linkCamera_.store(static_cast<int>(camera));
    const platform::SharedBlockResult opened = block_.Open();
    if (opened != platform::SharedBlockResult::Created &&
        opened != platform::SharedBlockResult::Reused) {
        EventLog::Instance().Print("link-refused");
        return;
    }
    EventLog::Instance().Print("link-started", {{"camera", QString::number(camera)}});
}

void SiblingLink::OnStopFrames(intptr_t client) {
    const bool wasActive = active_;
    active_ = false;
    if (siblingWindow_ != 0) {
        host_.Exit();
    } else {
        StopRemoteRecordings(client);
    }
    if (wasActive) {
        EndLink("message");
    } else {
        linkCamera_.store(0);
        block_.Close();
    }
}

void SiblingLink::OnClientGone(intptr_t client, bool othersWantFrames) {
    if (siblingWindow_ != 0 && siblingWindow_ == client) {
        siblingWindow_ = 0;
        host_.StopRegisterTimer();
    }
    StopRemoteRecordings(client);
    if (!othersWantFrames && (active_ || linkCamera_.load() != 0)) {
        EndLink("client-gone");
    }
}

void SiblingLink::RecordingRestarted(int camera, const QString& before) {
    Owned& owned = owned_[camera - 1];
    if (owned.client != 0 && owned.recording == before) {
        owned.recording = host_.LinkRecordingOf(camera);
        if (owned.recording.isEmpty()) {
            owned.client = 0;
        }
    }
}

bool SiblingLink::Owns(int camera, const QString& recording) const {
    const Owned& owned = owned_[camera - 1];
    return owned.client != 0 && !recording.isEmpty() && owned.recording == recording;
}

int SiblingLink::OnShutdown() {
    if (!active_) {
        block_.Close();
        return 0;
    }
    const int camera = linkCamera_.load();
    EndLink("shutdown");
    return camera;
}

void SiblingLink::EndLink(const char* reason) {
    active_ = false;
    linkCamera_.store(0);
    block_.Close();
    EventLog::Instance().Print("link-ended", {{"reason", QString::fromLatin1(reason)}});
}

void SiblingLink::OnControl(intptr_t client, uintptr_t camera) {
    if (!ValidCamera(camera)) {
        return;
    }
    if (siblingWindow_ != 0) {
        host_.Exit();
    } else {
        StopRemoteRecordings(client);
    }
    linkCamera_.store(static_cast<int>(camera));
    SwitchRequestedCameraOn();
}

void SiblingLink::OnCommand(intptr_t client, uintptr_t type, intptr_t value) {
    lastCommand_ = type;
    switch (type) {
        case ids::kSiblingRegisterType:
            if (siblingWindow_ != 0) {
                return;  // one sibling at a time
            }
            if (value == 0) {
                StartRemoteRecordings(client);
            } else if (host_.IsSiblingWindow(value)) {
                siblingWindow_ = value;
                if (linkCamera_.load() != kAllCameras) {
                    ShowRequestedCameraOnly();
                }
                host_.StartRegisterTimer();
            }
            // Anything else is no window of a sibling: registering it would let a later stop
            // request close the station.
            break;
        case ids::kSiblingShowRequestedType:
            if (siblingWindow_ != 0) {
                ShowRequestedCameraOnly();
            }
            break;
        case ids::kSiblingStopType:
            if (siblingWindow_ != 0) {
                host_.Exit();
            } else {
                StopRemoteRecordings(client);
            }
            break;
        default:
            break;
    }
}

void SiblingLink::OnRegisterTimer() {
    if (!host_.CaptureExists()) {
        return;  // fires again in 50 ms
    }
    host_.StopRegisterTimer();
    StartRemoteRecordings(siblingWindow_);
}

void SiblingLink::HandOver(int camera, const uint8_t* frame) {
    if (!Requested(camera + 1)) {
        return;
    }
    block_.Write([frame](std::span<uint8_t> view) { CopyHandOverFrame(frame, view.data()); });
}

void SiblingLink::StartRemoteRecordings(intptr_t client) {
    // All cameras (5) start one by one, so each has its owner and nothing the user started is
    // ever toggled by the all-cameras button.
    for (int camera = 1; camera <= 4; ++camera) {
        if (Requested(camera) && !host_.CameraRecording(camera)) {
            host_.ToggleLinkRecording(camera);
            const QString recording = host_.LinkRecordingOf(camera);
            if (!recording.isEmpty()) {
                owned_[camera - 1] = {client, recording};
            }
        }
    }
}

void SiblingLink::StopRemoteRecordings(intptr_t client) {
    for (int camera = 1; camera <= 4; ++camera) {
        Owned& owned = owned_[camera - 1];
        if (owned.client == 0 || owned.client != client) {
            continue;
        }
        // One the user ended, or ended and started again, is no longer the link's to end.
        if (host_.LinkRecordingOf(camera) == owned.recording) {
            host_.ToggleLinkRecording(camera);
        }
        owned = {};
    }
}

void SiblingLink::SwitchRequestedCameraOn() {
    const int camera = linkCamera_.load();
    if (camera >= 1 && camera <= 4 && !host_.CameraOn(camera)) {
        host_.SwitchCameraOn(camera);
    }
}

void SiblingLink::ShowRequestedCameraOnly() {
    const int camera = linkCamera_.load();
    if (camera < 1 || camera > 4) {
        return;
    }
    for (int other = 1; other <= 4; ++other) {
        if (!host_.CameraOn(other)) {
            return;  // only from the four-camera view
        }
    }
    host_.ShowOnlyCamera(camera);
}

}  // namespace ovistra
