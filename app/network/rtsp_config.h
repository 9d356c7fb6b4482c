// What the RTSP server is asked to be: where it listens, how fast it sends, whom it lets in.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace ovistra::network {

// The one user the server knows. Kept in "CustomSetting.dt" or given for one run by a file;
// never in the registry file or an event line.
struct RtspCredentials {
    QString user;
    QString password;
    bool empty() const { return user.isEmpty(); }
};

struct RtspServerConfig {
    static constexpr uint16_t kUsualPort = 8554;
    uint16_t port = kUsualPort;
    QString bind = QStringLiteral("127.0.0.1");
    uint32_t frameRate = 10;   // pictures per second on every path
    uint32_t maxClients = 8;   // sessions at once, all paths together
    RtspCredentials credentials;  // none: the server serves loopback only
};

// What the command line asks of the server for one run.
struct RtspRunChoice {
    std::optional<uint16_t> port;  // --rtsp: 0 takes the stored port, or the usual one
    std::optional<QString> bind;   // --rtsp-bind
    std::optional<RtspCredentials> credentials;  // --rtsp-auth, read and checked at start
};

}  // namespace ovistra::network
