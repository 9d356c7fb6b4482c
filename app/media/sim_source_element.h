// The simulated device's source element, "ovistrasimsrc": a live push source of 640x480 YUY2
// pictures at the device's frame rate, each one rendered by SimulatedDevice::RenderFrame. It is
// registered inside the program (no plugin), so it is made through the device:
//
//   auto device = std::make_shared<SimulatedDevice>(config);
//   GstElement* source = device->MakeSourceElement();  // ovistrasimsrc ! capsfilter ! appsink
#pragma once

#include <gst/gst.h>

#include <memory>

namespace ovistra::media {

class SimulatedDevice;

inline constexpr char kSimSourceFactoryName[] = "ovistrasimsrc";

// Registers "ovistrasimsrc" with rank NONE, once. Thread-safe. True when the factory exists.
bool RegisterSimSourceElement();

// A new ovistrasimsrc (a floating reference) that renders `device`'s pictures and holds
// `device` until it is finalized; null when registration failed.
GstElement* MakeSimSourceElement(std::shared_ptr<SimulatedDevice> device);

}  // namespace ovistra::media
