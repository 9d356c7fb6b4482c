#include "rtsp_server_choice.h"

#include <arpa/inet.h>


namespace ovistra::network {

std::optional<RtspServerConfig> ServerForRun(const RtspRunChoice& choice,
                                             const RegistrySettings& settings,
                                             const RtspCredentials& stored) {
    RegistrySettings run = settings;
    if (choice.port) {
        // --rtsp alone turns the server on where it was stored off.
        run.rtspPort = *choice.port != 0    ? *choice.port
                       : settings.rtspPort != 0 ? settings.rtspPort
                                                : RtspServerConfig::kUsualPort;
    }
    if (choice.bind) {
        run.rtspBind = *choice.bind;
    }
    return StoredServer(run, choice.credentials.value_or(stored));
}

std::optional<RtspServerConfig> StoredServer(const RegistrySettings& settings,
                                             const RtspCredentials& stored) {
    if (settings.rtspPort == 0 || settings.rtspPort > 65535) {
        return std::nullopt;
    }
    RtspServerConfig config;
    config.port = static_cast<uint16_t>(settings.rtspPort);
    config.bind = settings.rtspBind;
    config.frameRate = settings.rtspFrameRate;
    config.maxClients = settings.rtspMaxClients;
    config.credentials = stored;
    return config;
}

bool IsAddress(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    in6_addr v6{};
    in_addr v4{};
    return inet_pton(AF_INET, bytes.constData(), &v4) == 1 ||
           inet_pton(AF_INET6, bytes.constData(), &v6) == 1;
}

bool BeyondLoopback(const QString& bind) {
    const QByteArray bytes = bind.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, bytes.constData(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) != 127;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, bytes.constData(), &v6) == 1) {
        return !IN6_IS_ADDR_LOOPBACK(&v6);
    }
    return true;
}

}  // namespace ovistra::network
