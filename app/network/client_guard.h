// Keeps the server's connections bounded and reported: at most a fixed number open at once (a
// new one beyond them takes the place of the oldest without a session, so a flood of idle
// connections never locks players out), a connection without a session that has not been
// answered for a few seconds is closed, and each client's
// watching and going are event lines (its address and path only, never who it claims to be).
// Lives on the server's thread: every call, and every signal it connects, runs there.
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <QString>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace ovistra::network {

class ClientGuard {
public:
    ClientGuard(GMainContext* context, uint32_t maxConnections, uint32_t setupSeconds);
    ~ClientGuard();  // closes every connection it still holds
    ClientGuard(const ClientGuard&) = delete;
    ClientGuard& operator=(const ClientGuard&) = delete;

    // Connect to the server's "client-connected" with this guard as data.
    static void OnClientConnected(GstRTSPServer* server, GstRTSPClient* client, gpointer self);

    // Closes every connection it holds; the watching ones are reported gone.
    void CloseAll();

private:
    struct Client {
        QString address;
        std::set<QString> paths;  // those announced in an event line
        GSource* setupTimer = nullptr;
        uint64_t order = 0;                     // of connecting
        int64_t lastAnswerUs = 0;               // monotonic
        bool closing = false;                   // a close is on its way
        std::vector<GstRTSPSession*> sessions;  // each holds a reference
    };

    static void OnClosed(GstRTSPClient* client, gpointer self);
    static void OnSendMessage(GstRTSPClient* client, GstRTSPContext* context,
                              GstRTSPMessage* message, gpointer self);
    static void OnNewSession(GstRTSPClient* client, GstRTSPSession* session, gpointer self);
    static void OnPlay(GstRTSPClient* client, GstRTSPContext* context, gpointer self);
    static gboolean OnSetupTimeout(gpointer data);
    static gboolean CloseLater(gpointer client);

    void Forget(GstRTSPClient* client);
    // Closes `client` from the main loop, outside any of the server's own calls.
    void CloseSoon(GstRTSPClient* client);
    // The oldest open connection without a session, or null.
    GstRTSPClient* OldestIdle();

    GMainContext* context_;
    uint32_t maxConnections_;
    uint32_t setupSeconds_;
    std::map<GstRTSPClient*, Client> clients_;  // each holds a reference
    uint64_t connections_ = 0;
};

}  // namespace ovistra::network
