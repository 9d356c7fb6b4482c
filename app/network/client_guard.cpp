#include "client_guard.h"

#include <vector>

#include "event_log.h"

namespace ovistra::network {
namespace {

struct SetupCheck {
    class ClientGuard* guard;
    GstRTSPClient* client;
};

// The first segment of a request's path: "/camera1" of "/camera1/stream=0".
QString PathOf(const GstRTSPContext* context) {
    if (context == nullptr || context->uri == nullptr || context->uri->abspath == nullptr) {
        return {};
    }
    const QString path = QString::fromUtf8(context->uri->abspath);
    const int end = path.indexOf(QLatin1Char('/'), 1);
    return end < 0 ? path : path.left(end);
}

void UnrefLater(GMainContext* context, GstRTSPClient* client) {
    // Not inside the client's own signal: the last reference may go here.
    GSource* idle = g_idle_source_new();
    g_source_set_callback(idle, [](gpointer) { return G_SOURCE_REMOVE; }, client, g_object_unref);
    g_source_attach(idle, context);
    g_source_unref(idle);
}

}  // namespace

ClientGuard::ClientGuard(GMainContext* context, uint32_t maxConnections, uint32_t setupSeconds)
    : context_(context), maxConnections_(maxConnections), setupSeconds_(setupSeconds) {}

ClientGuard::~ClientGuard() { CloseAll(); }

void ClientGuard::OnClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    if (guard->clients_.size() >= guard->maxConnections_) {
        // Closed once the server has finished taking the connection in.
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, CloseLater, g_object_ref(client), g_object_unref);
        g_source_attach(idle, guard->context_);
        g_source_unref(idle);
        return;
    }
    Client entry;
    if (GstRTSPConnection* connection = gst_rtsp_client_get_connection(client)) {
        entry.address = QString::fromUtf8(gst_rtsp_connection_get_ip(connection));
    }
    entry.setupTimer = g_timeout_source_new_seconds(guard->setupSeconds_);
    g_source_set_callback(
        entry.setupTimer, OnSetupTimeout, new SetupCheck{guard, client},
        [](gpointer data) { delete static_cast<SetupCheck*>(data); });
    g_source_attach(entry.setupTimer, guard->context_);
    g_signal_connect(client, "closed", G_CALLBACK(OnClosed), guard);
    g_signal_connect(client, "play-request", G_CALLBACK(OnPlay), guard);
    guard->clients_.emplace(GST_RTSP_CLIENT(g_object_ref(client)), std::move(entry));
}

void ClientGuard::OnClosed(GstRTSPClient* client, gpointer self) {
    static_cast<ClientGuard*>(self)->Forget(client);
}

void ClientGuard::OnPlay(GstRTSPClient* client, GstRTSPContext* context, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    const auto found = guard->clients_.find(client);
    const QString path = PathOf(context);
    if (found == guard->clients_.end() || path.isEmpty()) {
        return;
    }
    if (found->second.paths.insert(path).second) {
        EventLog::Instance().Print(QStringLiteral("rtsp-client"),
                                   {{QStringLiteral("address"), found->second.address},
                                    {QStringLiteral("path"), path}});
    }
}

gboolean ClientGuard::OnSetupTimeout(gpointer data) {
    const auto* check = static_cast<SetupCheck*>(data);
    ClientGuard* guard = check->guard;
    const auto found = guard->clients_.find(check->client);
    if (found == guard->clients_.end()) {
        return G_SOURCE_REMOVE;
    }
    GList* sessions = gst_rtsp_client_session_filter(check->client, nullptr, nullptr);
    const bool watching = sessions != nullptr;
    g_list_free_full(sessions, g_object_unref);
    if (watching) {
        return G_SOURCE_CONTINUE;  // asked again later, in case the sessions end
    }
    g_source_unref(found->second.setupTimer);
    found->second.setupTimer = nullptr;
    gst_rtsp_client_close(check->client);
    return G_SOURCE_REMOVE;
}

gboolean ClientGuard::CloseLater(gpointer client) {
    gst_rtsp_client_close(GST_RTSP_CLIENT(client));
    return G_SOURCE_REMOVE;
}

void ClientGuard::Forget(GstRTSPClient* client) {
    const auto found = clients_.find(client);
    if (found == clients_.end()) {
        return;
    }
    if (!found->second.paths.empty()) {
        EventLog::Instance().Print(QStringLiteral("rtsp-client-gone"),
                                   {{QStringLiteral("address"), found->second.address}});
    }
    if (found->second.setupTimer != nullptr) {
        g_source_destroy(found->second.setupTimer);
        g_source_unref(found->second.setupTimer);
    }
    clients_.erase(found);
    g_signal_handlers_disconnect_by_data(client, this);
    UnrefLater(context_, client);
}

void ClientGuard::CloseAll() {
    std::vector<GstRTSPClient*> open;
    for (const auto& [client, entry] : clients_) {
        open.push_back(client);
    }
    for (GstRTSPClient* client : open) {
        if (clients_.count(client) != 0) {
            gst_rtsp_client_close(client);
        }
        Forget(client);  // when closing did not tell us
    }
}

}  // namespace ovistra::network
