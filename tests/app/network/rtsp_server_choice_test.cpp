// Which server a run starts from its command line and the stored settings.
#include "rtsp_server_choice.h"

#include <gtest/gtest.h>

namespace ovistra::network {
namespace {

TEST(RtspServerChoice, CommandLineGoesOverTheStoredServer) {
    const RtspCredentials stored{QStringLiteral("home"), QStringLiteral("pw")};
    const RtspCredentials given{QStringLiteral("run"), QStringLiteral("given")};
    const struct {
        std::optional<uint16_t> runPort;
        std::optional<QString> runBind;
        bool runCredentials;
        uint32_t storedPort;
        int port;  // 0: no server
        const char* bind;
        const char* user;
    } cases[] = {
        {std::nullopt, std::nullopt, false, 0, 0, "", ""},
        {std::nullopt, QStringLiteral("0.0.0.0"), true, 0, 0, "", ""},  // no --rtsp: off
        {std::nullopt, std::nullopt, false, 9000, 9000, "10.0.0.2", "home"},
        {uint16_t{0}, std::nullopt, false, 0, 8554, "10.0.0.2", "home"},
        {uint16_t{0}, std::nullopt, false, 9000, 9000, "10.0.0.2", "home"},
        {uint16_t{8600}, QStringLiteral("127.0.0.1"), true, 9000, 8600, "127.0.0.1", "run"},
        {std::nullopt, QStringLiteral("::1"), true, 9000, 9000, "::1", "run"},
    };
    for (const auto& c : cases) {
        RegistrySettings settings;
        settings.rtspPort = c.storedPort;
        settings.rtspBind = QStringLiteral("10.0.0.2");
        settings.rtspFrameRate = 5;
        settings.rtspMaxClients = 3;
        RtspRunChoice choice{c.runPort, c.runBind,
                             c.runCredentials ? std::optional(given) : std::nullopt};
        const std::optional<RtspServerConfig> config = ServerForRun(choice, settings, stored);
        if (c.port == 0) {
            EXPECT_FALSE(config) << c.storedPort;
            continue;
        }
        ASSERT_TRUE(config) << c.storedPort;
        EXPECT_EQ(config->port, c.port);
        EXPECT_EQ(config->bind, QLatin1String(c.bind));
        EXPECT_EQ(config->credentials.user, QLatin1String(c.user));
        EXPECT_EQ(config->frameRate, 5u);
        EXPECT_EQ(config->maxClients, 3u);
    }
}

TEST(RtspServerChoice, OnlyLoopbackAddressesStayOnThisMachine) {
    for (const char* near : {"127.0.0.1", "127.1.2.3", "::1"}) {
        EXPECT_FALSE(BeyondLoopback(QLatin1String(near))) << near;
    }
    for (const char* far : {"0.0.0.0", "::", "192.168.1.5", "::ffff:127.0.0.1x", "localhost", ""}) {
        EXPECT_TRUE(BeyondLoopback(QLatin1String(far))) << far;
    }
}

}  // namespace
}  // namespace ovistra::network
