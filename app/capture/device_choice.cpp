#include "device_choice.h"

#include "capture_graph.h"

namespace ovistra {
namespace {

bool IsStationDeviceName(const std::string& cardName) {
    for (const char* name : CaptureGraph::kDeviceNames) {
        if (cardName.rfind(name, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<media::CaptureDevice> MakeSimulated(const DeviceChoice& choice) {
    media::SimDeviceConfig config = choice.sim;
    if (choice.simName) {
        config.name = *choice.simName;
    }
    return std::make_shared<media::SimulatedDevice>(std::move(config));
}

}  // namespace

ChosenDevices ChooseDevices(const DeviceChoice& choice, media::V4l2Io& io) {
    ChosenDevices chosen;
    chosen.list = std::make_unique<media::StaticDeviceList>();
    const auto addReal = [&](const std::string& path, const std::string& name) {
        chosen.list->Add(media::DeviceCategory::VideoInput,
                         std::make_shared<media::V4l2Device>(path, name, io));
    };
    switch (choice.mode) {
        case DeviceChoice::Mode::Sim:
            break;
        case DeviceChoice::Mode::Path: {
            std::string card;
            media::QueryV4l2Device(choice.path, &card, io);
            // Taken whatever its name; the chip-control path drives it through the driver.
            addReal(choice.path, std::string(CaptureGraph::kDeviceNames[2]) + " (" + card + ")");
            return chosen;
        }
        case DeviceChoice::Mode::Real:
            for (const media::V4l2DeviceInfo& info : media::ListV4l2Devices(io)) {
                addReal(info.path, info.cardName);
            }
            return chosen;
        case DeviceChoice::Mode::Auto:
            if (choice.simName) {
                break;
            }
            for (const media::V4l2DeviceInfo& info : media::ListV4l2Devices(io)) {
                if (IsStationDeviceName(info.cardName)) {
                    addReal(info.path, info.cardName);
                }
            }
            if (!chosen.list->Devices(media::DeviceCategory::VideoInput).empty()) {
                return chosen;
            }
            break;
    }
    chosen.list->Add(media::DeviceCategory::VideoInput, MakeSimulated(choice));
    chosen.simulated = true;
    return chosen;
}

}  // namespace ovistra
