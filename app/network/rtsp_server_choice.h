// Which server a run starts: the command line's port, address and credentials over the stored
// settings and credentials.
#pragma once

#include <optional>

#include "registry_settings.h"
#include "rtsp_config.h"

namespace ovistra::network {

// Nothing when the server stays off: no --rtsp and no stored port.
std::optional<RtspServerConfig> ServerForRun(const RtspRunChoice& choice,
                                             const RegistrySettings& settings,
                                             const RtspCredentials& stored);

// The stored settings alone, as the network view dialog leaves them; nothing when off.
std::optional<RtspServerConfig> StoredServer(const RegistrySettings& settings,
                                             const RtspCredentials& stored);

// A numeric IPv4 or IPv6 address.
bool IsAddress(const QString& text);

// Whether clients on other machines could reach an address ("0.0.0.0" included); anything
// that is not a loopback address counts.
bool BeyondLoopback(const QString& bind);

}  // namespace ovistra::network
