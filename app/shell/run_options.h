// The command line of the station: run mode, device choice, the simulated device's shape and
// per-run setting overrides. Parsing only checks the form; the settings store types and
// range-checks the --set values, and the device layer opens the --sim-input files.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace ovistra {

// Camera N (1..4) of the simulated device sees motion from START to END seconds of the run.
struct SimMotion {
    int camera;
    double startSeconds;
    double endSeconds;
};

// Camera N (1..4) of the simulated device is lit by a lamp from START to END seconds.
struct SimLight {
    int camera;
    double startSeconds;
    double endSeconds;
};

// The simulated device is unplugged from START to END seconds after capture first starts.
struct SimUnplug {
    double startSeconds;
    double endSeconds;
};

struct RunOptions {
    bool headless = false;
    std::optional<double> durationSeconds;  // finite and > 0 when set
    bool events = false;
    bool window = false;  // show the window even where no display is found
    bool fullScreen = false;  // the pictures take the whole screen from the start
    enum class Device { Auto, Real, Sim, Path } device = Device::Auto;
    QString devicePath;                 // Device::Path: a device node under /dev/
    std::map<int, QString> simInputs;   // camera 1..4 -> file; a repeated camera keeps the last
    std::vector<SimMotion> simMotions;  // in command-line order
    std::vector<SimLight> simLights;    // in command-line order
    std::vector<int> simNights;         // 1..4, each once, in command-line order
    std::vector<SimUnplug> simUnplugs;  // in command-line order
    std::optional<QString> simName;     // never empty when set
    std::optional<int> simSettleMs;     // 0..60000 when set
    std::optional<uint64_t> simDiskMb;  // 1..1048576 when set
    std::vector<int> recordCameras;     // 1..4, each once, in command-line order
    bool recordAll = false;             // --record all: the all-cameras record button
    std::vector<int> stillCameras;      // 1..4, each once, in command-line order
    bool detect = false;                // --detect: the motion button once capture runs
    std::optional<QDateTime> clock;     // the station's clock starts here
    std::vector<std::pair<QString, QString>> sets;  // raw (name, value), in command-line order
    // --rtsp: the server runs on this port; 0 takes the stored port, or 8554 when none is.
    std::optional<uint16_t> rtspPort;
    std::optional<QString> rtspBind;      // never empty when set
    std::optional<QString> rtspAuthFile;  // never empty when set
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    RunOptions options;
    QString error;  // one line, without the program name; empty when the line was usable
    bool ok() const { return error.isEmpty(); }
};

// `arguments` without the program name. Both "--opt VALUE" and "--opt=VALUE" are accepted; in
// the first form an argument starting with "--" is never taken as the value (use the second
// form for such a value). A single-valued option given twice keeps the last value. "--" ends
// the options; as the station takes no operands, anything after it is an error.
ParsedOptions ParseRunOptions(const QStringList& arguments);

// The --help text: a usage line, then one line per option; ends with a newline.
QString UsageText();

}  // namespace ovistra
