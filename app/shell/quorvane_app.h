// The application object: finds the program folder, loads the resource library, makes sure
// one station runs per user, sets up a first run and runs the main window.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "durable_writer.h"
#include "recording_list.h"
#include "registry_key.h"
#include "rtsp_config.h"
#include "single_instance_lock.h"
#include "station_statistics.h"

namespace ovistra {
namespace media {
class DeviceList;
}

class CQuorvaneDlg;
class ResourceLibrary;

// Exit codes of the station.
enum ExitCode { kExitOk = 0, kExitAlreadyRunning = 1, kExitUsage = 2, kExitStartupFailed = 3 };

class CQuorvaneApp {
public:
    // registry carries this run's overrides; headless answers message boxes by themselves.
    CQuorvaneApp(platform::RegistryStore& registry, bool headless);
    ~CQuorvaneApp();

    // Runs the station to its end; an ExitCode.
    int Run();

    // Ends a running station the way its exit button does; before the window runs, it ends
    // as soon as it has started. Stops after durationSeconds when given one.
    void RequestExit();
    void ExitAfter(double durationSeconds);

    const QString& programFolder() const { return programFolder_; }

    // False: the window is never shown (nothing is painted).
    void ShowWindow(bool show) { showWindow_ = show; }
    // The window starts in full screen.
    void StartFullScreen(bool fullScreen) { fullScreenAtStart_ = fullScreen; }

    // Cameras to record once capture runs; `all` takes the all-cameras record button.
    void RecordAtStart(std::vector<int> cameras, bool all) {
        recordAtStart_ = std::move(cameras);
        recordAllAtStart_ = all;
    }
    // Starts motion detection once capture runs.
    void DetectAtStart(bool detect) { detectAtStart_ = detect; }
    // The record folder's disk counts as `mb` megabytes big, filled by its own files.
    void SimulateRecordDisk(uint64_t mb) { simulatedDiskMb_ = mb; }
    // The command line's RTSP server: port, address and credentials over the stored ones.
    void ServeRtsp(network::RtspRunChoice choice) { rtspAtStart_ = std::move(choice); }
    // Saves a still of each of these cameras (1..4) once it has a picture.
    void StillsAtStart(std::vector<int> cameras) { stillsAtStart_ = std::move(cameras); }

    // The capture devices the run offers; they outlive Run.
    void UseCaptureDevices(const media::DeviceList* devices, bool simulated) {
        devices_ = devices;
        simulatedDevice_ = simulated;
    }

private:
    int InitInstance();

    platform::RegistryStore& registry_;
    const bool headless_;
    QString programFolder_;
    QString runtimeFolder_;  // checked at start: the instance lock and the link sockets
    std::unique_ptr<ResourceLibrary> resources_;
    // Before the list, which hands it its rewrites: it goes after the list, having done them.
    std::unique_ptr<platform::DurableWriter> durableWriter_;
    std::unique_ptr<RecordingList> recordings_;
    platform::SingleInstanceLock instanceLock_;
    StationStatistics statistics_;
    const media::DeviceList* devices_ = nullptr;
    bool simulatedDevice_ = true;
    bool showWindow_ = true;
    bool fullScreenAtStart_ = false;
    std::vector<int> recordAtStart_;
    bool recordAllAtStart_ = false;
    bool detectAtStart_ = false;
    std::optional<uint64_t> simulatedDiskMb_;
    std::vector<int> stillsAtStart_;
    network::RtspRunChoice rtspAtStart_;
    CQuorvaneDlg* dialog_ = nullptr;
    bool exitRequested_ = false;
};

}  // namespace ovistra
