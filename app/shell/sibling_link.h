// The station's side of the link with a sibling program: which camera's pictures it hands over
// through the shared block, the recordings each client asked for, and the sibling that may close
// the station. Messages arrive on the UI thread; the switching thread only hands pictures over.
// A client is a connected program's process id.
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "shared_block.h"

namespace ovistra {

class SiblingLink {
public:
    // What the link needs of the main window; UI thread.
    class Host {
    public:
        virtual ~Host() = default;
        virtual bool CaptureExists() const = 0;
        virtual bool CameraRecording(int camera) const = 0;  // 1..4
        // What tells the link recording running on the camera from any later one (its first
        // file); empty when none runs or the one running is not the link's.
        virtual QString LinkRecordingOf(int camera) const = 0;
        virtual void ToggleLinkRecording(int camera) = 0;  // 1..4, reason link
        virtual bool CameraOn(int camera) const = 0;
        virtual void SwitchCameraOn(int camera) = 0;
        virtual void ShowOnlyCamera(int camera) = 0;  // all cameras off, then this one on
        virtual void StartRegisterTimer() = 0;        // timer 21, 50 ms
        virtual void StopRegisterTimer() = 0;
        virtual void Exit() = 0;  // the exit button's sequence
        // True when `value` stands for a sibling connected now (its process id).
        virtual bool IsSiblingWindow(intptr_t value) const = 0;
    };

    static constexpr int kAllCameras = 5;

    // `linkCamera` is the switching thread's copy of the hand-over camera.
    // Tests give each link a block name of its own.
    SiblingLink(Host& host, std::atomic<int>& linkCamera,
                std::string blockName = platform::kSharedBlockName);

    void OnStartFrames(uintptr_t camera);                             // 1137
    void OnStopFrames(intptr_t client);                               // 2031
    void OnControl(intptr_t client, uintptr_t camera);                // 2033
    void OnCommand(intptr_t client, uintptr_t type, intptr_t value);  // 2034
    void OnRegisterTimer();  // timer 21: the registered sibling's recordings
    // A client went away without ending what it asked for: it ends as a 2031 from an
    // unregistered sibling would end it, the pictures only once no other client wants them.
    void OnClientGone(intptr_t client, bool othersWantFrames);
    // The camera's recording `before` ended and started again as a new one (a capture device
    // that came back): whoever owned it owns the new one.
    void RecordingRestarted(int camera, const QString& before);
    // True while a client owns the camera's recording `recording`.
    bool Owns(int camera, const QString& recording) const;
    // Shutdown: the block removed. The camera to tell the sibling, 0 when no link was active.
    int OnShutdown();

    // Switching thread, after camera (0..3) was shown: its picture into the block.
    void HandOver(int camera, const uint8_t* frame);

    bool active() const { return active_; }
    int camera() const { return linkCamera_.load(); }
    intptr_t siblingWindow() const { return siblingWindow_; }
    uintptr_t lastCommand() const { return lastCommand_; }
    // The client whose recording of the camera (1..4) runs, 0 when none.
    intptr_t owner(int camera) const { return owned_[camera - 1].client; }

private:
    static bool ValidCamera(uintptr_t camera) { return camera >= 1 && camera <= kAllCameras; }
    bool Requested(int camera) const;
    void StartRemoteRecordings(intptr_t client);
    // Ends the recordings `client` started that still run as its own; never another's.
    void StopRemoteRecordings(intptr_t client);
    void SwitchRequestedCameraOn();
    void ShowRequestedCameraOnly();
    void EndLink(const char* reason);

    Host& host_;
    std::atomic<int>& linkCamera_;
    platform::SharedBlock block_;
    bool active_ = false;
    intptr_t siblingWindow_ = 0;
    uintptr_t lastCommand_ = 0;
    struct Owned {
        intptr_t client = 0;  // 0: the link started nothing that runs
        QString recording;
    };
    std::array<Owned, 4> owned_;
};

}  // namespace ovistra
