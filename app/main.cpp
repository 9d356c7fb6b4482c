// ovistra: the surveillance station. See --help.
#include <gst/gst.h>

#include <signal.h>

#include <QApplication>
#include <cstdio>
#include <utility>

#include "device_choice.h"
#include "event_log.h"
#include "folders.h"
#include "local_clock.h"
#include "quorvane_app.h"
#include "registry_key.h"
#include "rtsp_credentials.h"
#include "run_options.h"
#include "settings_store.h"
#include "sim_file_input.h"
#include "termination_signals.h"

namespace {

int UsageError(const QString& reason) {
    std::fprintf(stderr, "ovistra: %s\nTry 'ovistra --help'.\n", reason.toLocal8Bit().constData());
    return ovistra::kExitUsage;
}

// The run's capture devices as the options shape them; a usage error when a file or device
// named on the command line cannot serve.
bool MakeDeviceChoice(const ovistra::RunOptions& options, ovistra::DeviceChoice* choice,
                      QString* error) {
    using Mode = ovistra::DeviceChoice::Mode;
    switch (options.device) {
        case ovistra::RunOptions::Device::Auto:
            choice->mode = Mode::Auto;
            break;
        case ovistra::RunOptions::Device::Real:
            choice->mode = Mode::Real;
            break;
        case ovistra::RunOptions::Device::Sim:
            choice->mode = Mode::Sim;
            break;
        case ovistra::RunOptions::Device::Path: {
            choice->mode = Mode::Path;
            choice->path = options.devicePath.toStdString();
            std::string card;
            if (!ovistra::media::QueryV4l2Device(choice->path, &card)) {
                *error = QStringLiteral("--device %1 is no video capture device")
                             .arg(options.devicePath);
                return false;
            }
            break;
        }
    }
    if (options.simName) {
        choice->simName = options.simName->toStdString();
    }
    if (options.simSettleMs) {
        choice->sim.settleMs = *options.simSettleMs;
    }
    for (const ovistra::SimMotion& motion : options.simMotions) {
        choice->sim.motions.push_back({motion.camera, motion.startSeconds, motion.endSeconds});
    }
    for (const ovistra::SimLight& light : options.simLights) {
        choice->sim.lights.push_back({light.camera, light.startSeconds, light.endSeconds});
    }
    for (const int camera : options.simNights) {
        choice->sim.nights[static_cast<size_t>(camera - 1)] = true;
    }
    for (const ovistra::SimUnplug& unplug : options.simUnplugs) {
        choice->sim.unplugs.push_back({unplug.startSeconds, unplug.endSeconds});
    }
    for (const auto& [camera, file] : options.simInputs) {
        std::string reason;
        auto input = ovistra::media::SimFileInput::Open(file.toStdString(), &reason);
        if (!input) {
            *error = QStringLiteral("--sim-input %1=%2: %3")
                         .arg(camera)
                         .arg(file, QString::fromStdString(reason));
            return false;
        }
        choice->sim.files[camera - 1] = std::move(input);
    }
    return true;
}

// The run's RTSP server as the options ask; a usage error when the credentials file cannot
// serve.
bool MakeRtspChoice(const ovistra::RunOptions& options, ovistra::network::RtspRunChoice* choice,
                    QString* error) {
    choice->port = options.rtspPort;
    choice->bind = options.rtspBind;
    if (options.rtspAuthFile) {
        QString reason;
        choice->credentials = ovistra::network::ReadCredentialsFile(*options.rtspAuthFile, &reason);
        if (!choice->credentials) {
            *error = QStringLiteral("--rtsp-auth %1 %2").arg(*options.rtspAuthFile, reason);
            return false;
        }
    }
    return true;
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const ovistra::ParsedOptions parsed = ovistra::ParseRunOptions(arguments);
    if (!parsed.ok()) {
        return UsageError(parsed.error);
    }
    const ovistra::RunOptions& options = parsed.options;
    if (options.help) {
        std::fputs(ovistra::UsageText().toLocal8Bit().constData(), stdout);
        return ovistra::kExitOk;
    }
    if (options.version) {
        std::printf("ovistra %s\n", OVISTRA_VERSION);
        return ovistra::kExitOk;
    }

    ovistra::platform::RegistryStore registry(ovistra::platform::KeyFilePath());
    for (const auto& [name, value] : options.sets) {
        QString error;
        if (!ovistra::AddRunOverride(registry, name, value, &error)) {
            return UsageError(error);
        }
    }

    ovistra::network::RtspRunChoice rtsp;
    QString rtspError;
    if (!MakeRtspChoice(options, &rtsp, &rtspError)) {
        return UsageError(rtspError);
    }

    if (options.clock) {
        ovistra::platform::StartClockAt(*options.clock);
    }

    // A script that stops reading the event lines must not kill a station mid-recording.
    signal(SIGPIPE, SIG_IGN);
    // A file grown past the user's size limit is a write error the recording handles, not an
    // end of the station.
    signal(SIGXFSZ, SIG_IGN);

    // Nobody can answer a box on a machine without a display, so such a run answers its boxes
    // itself; it shows its window only when asked to (painted into memory).
    const bool display = HasDisplay();
    const bool headless = options.headless || !display;
    const bool showWindow = !options.headless && (display || options.window);
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    gst_init(nullptr, nullptr);
    ovistra::DeviceChoice choice;
    QString deviceError;
    if (!MakeDeviceChoice(options, &choice, &deviceError)) {
        return UsageError(deviceError);
    }
    const ovistra::ChosenDevices devices = ovistra::ChooseDevices(choice);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ovistra"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ovistra"));
    QApplication::setApplicationVersion(QStringLiteral(OVISTRA_VERSION));
    if (headless || options.events) {
        ovistra::EnableStdoutEvents();
    }

    ovistra::CQuorvaneApp station(registry, headless);
    station.UseCaptureDevices(devices.list.get(), devices.simulated);
    station.ShowWindow(showWindow);
    station.StartFullScreen(options.fullScreen);
    station.RecordAtStart(options.recordCameras, options.recordAll);
    station.DetectAtStart(options.detect);
    if (options.simDiskMb) {
        station.SimulateRecordDisk(*options.simDiskMb);
    }
    station.StillsAtStart(options.stillCameras);
    station.ServeRtsp(std::move(rtsp));
    ovistra::platform::TerminationSignals termination([&station] { station.RequestExit(); });
    if (options.durationSeconds) {
        station.ExitAfter(*options.durationSeconds);
    }
    return station.Run();
}
