// Keeps the server's connections bounded and reported: at most a fixed number open at once,
// a connection that has not set up a session within a few seconds is closed, and each client's
// watching and going are event lines (its address and path only, never who it claims to be).
// Lives on the server's thread: every call, and every signal it connects, runs there.
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <QString>
#include <cstdint>
#include <map>
#include <set>

namespace ovistra::network {

class ClientGuard {
public:
    ClientGuard(GMainContext* context, uint32_t maxConnections, uint32_t setupSeconds);
    ~ClientGuard();  // closes nothing; CloseAll first
    ClientGuard(const ClientGuard&) = delete;
    ClientGuard& operator=(const ClientGuard&) = delete;

    // Connect to the server's "client-connected" with this guard as data.
    static void OnClientConnected(GstRTSPServer* server, GstRTSPClient* client, gpointer self);

    void CloseAll();

private:
    struct Client {
        QString address;
        std::set<QString> paths;  // those announced in an event line
        GSource* setupTimer = nullptr;
    };

    static void OnClosed(GstRTSPClient* client, gpointer self);
    static void OnPlay(GstRTSPClient* client, GstRTSPContext* context, gpointer self);
    static gboolean OnSetupTimeout(gpointer data);
    static gboolean CloseLater(gpointer client);

    void Forget(GstRTSPClient* client);

    GMainContext* context_;
    uint32_t maxConnections_;
    uint32_t setupSeconds_;
    std::map<GstRTSPClient*, Client> clients_;  // each holds a reference
};

}  // namespace ovistra::network
