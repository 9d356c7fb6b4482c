// Which capture devices a run offers the capture graph: a real card whose name the station
// looks for, a card given by path, or the simulated device.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture_device.h"
#include "sim_device.h"
#include "v4l2_device.h"

namespace ovistra {

struct DeviceChoice {
    enum class Mode { Auto, Real, Sim, Path } mode = Mode::Auto;
    std::string path;                    // Mode::Path: the V4L2 device node
    std::optional<std::string> simName;  // forces the simulated device under this name
    media::SimDeviceConfig sim;          // the simulated device's shape (its name included)
};

struct ChosenDevices {
    std::unique_ptr<media::StaticDeviceList> list;
    bool simulated = false;
};

// Auto takes a real card whose name begins with one of the capture graph's names unless a
// simulated name is forced, else the simulated device; Real offers every V4L2 capture device
// under its card name; Path offers that device under a name the graph accepts, whatever its
// card says.
ChosenDevices ChooseDevices(const DeviceChoice& choice, media::V4l2Io& io = media::SystemV4l2Io());

}  // namespace ovistra
