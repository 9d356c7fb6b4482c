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
    g_source_set_callback(
        idle, [](gpointer) { return G_SOURCE_REMOVE; }, client, g_object_unref);
    g_source_attach(idle, context);
    g_source_unref(idle);
}

}  // namespace

ClientGuard::ClientGuard(GMainContext* context, uint32_t maxConnections, uint32_t setupSeconds)
    : context_(context), maxConnections_(maxConnections), setupSeconds_(setupSeconds) {}

ClientGuard::~ClientGuard() {
    CloseAll();
}

void ClientGuard::OnClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    g_object_set(client, "drop-backlog", TRUE, nullptr);  // a player that stops reading loses data
    if (guard->clients_.size() >= guard->maxConnections_) {
        GstRTSPClient* idle = guard->OldestIdle();
        if (idle == nullptr) {
            guard->CloseSoon(client);
            return;
        }
        guard->clients_[idle].closing = true;
        guard->CloseSoon(idle);
    }
    Client entry;
    entry.order = ++guard->connections_;
    entry.lastAnswerUs = g_get_monotonic_time();
    if (GstRTSPConnection* connection = gst_rtsp_client_get_connection(client)) {
        entry.address = QString::fromUtf8(gst_rtsp_connection_get_ip(connection));
    }
    entry.setupTimer = g_timeout_source_new_seconds(guard->setupSeconds_);
    g_source_set_callback(entry.setupTimer, OnSetupTimeout, new SetupCheck{guard, client},
                          [](gpointer data) { delete static_cast<SetupCheck*>(data); });
    g_source_attach(entry.setupTimer, guard->context_);
    g_signal_connect(client, "closed", G_CALLBACK(OnClosed), guard);
    g_signal_connect(client, "play-request", G_CALLBACK(OnPlay), guard);
    g_signal_connect(client, "new-session", G_CALLBACK(OnNewSession), guard);
    g_signal_connect(client, "send-message", G_CALLBACK(OnSendMessage), guard);
    guard->clients_.emplace(GST_RTSP_CLIENT(g_object_ref(client)), std::move(entry));
}

void ClientGuard::OnClosed(GstRTSPClient* client, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    const auto found = guard->clients_.find(client);
    if (found != guard->clients_.end() && !found->second.sessions.empty()) {
        // A player that went away without a word would otherwise keep its place among the
        // allowed sessions until the session times out.
        if (GstRTSPSessionPool* pool = gst_rtsp_client_get_session_pool(client)) {
            for (GstRTSPSession* session : found->second.sessions) {
                gst_rtsp_session_pool_remove(pool, session);
            }
            g_object_unref(pool);
        }
    }
    guard->Forget(client);
}

void ClientGuard::OnSendMessage(GstRTSPClient* client, GstRTSPContext*, GstRTSPMessage*,
                                gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    const auto found = guard->clients_.find(client);
    if (found != guard->clients_.end()) {
        found->second.lastAnswerUs = g_get_monotonic_time();
    }
}

void ClientGuard::OnNewSession(GstRTSPClient* client, GstRTSPSession* session, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    const auto found = guard->clients_.find(client);
    if (found != guard->clients_.end()) {
        found->second.sessions.push_back(GST_RTSP_SESSION(g_object_ref(session)));
    }
}

void ClientGuard::OnPlay(GstRTSPClient* client, GstRTSPContext* context, gpointer self) {
    auto* guard = static_cast<ClientGuard*>(self);
    const auto found = guard->clients_.find(client);
    const QString path = PathOf(context);
    if (found == guard->clients_.end() || path.isEmpty()) {
        return;
    }
    if (found->second.paths.insert(path).second) {
        EventLog::Instance().Print(
            QStringLiteral("rtsp-client"),
            {{QStringLiteral("address"), found->second.address}, {QStringLiteral("path"), path}});
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
    // A player still talking (slow to set up, or asked for its password) gets another round.
    const bool talking = g_get_monotonic_time() - found->second.lastAnswerUs <
                         int64_t{guard->setupSeconds_} * G_USEC_PER_SEC;
    if (watching || talking) {
        return G_SOURCE_CONTINUE;  // asked again later, in case the sessions end
    }
    g_source_unref(found->second.setupTimer);
    found->second.setupTimer = nullptr;
    gst_rtsp_client_close(check->client);
    return G_SOURCE_REMOVE;
}

void ClientGuard::CloseSoon(GstRTSPClient* client) {
    GSource* idle = g_idle_source_new();
    g_source_set_callback(idle, CloseLater, g_object_ref(client), g_object_unref);
    g_source_attach(idle, context_);
    g_source_unref(idle);
}

GstRTSPClient* ClientGuard::OldestIdle() {
    GstRTSPClient* oldest = nullptr;
    uint64_t oldestOrder = UINT64_MAX;
    for (const auto& [client, entry] : clients_) {
        if (entry.closing || entry.order > oldestOrder) {
            continue;
        }
        GList* sessions = gst_rtsp_client_session_filter(client, nullptr, nullptr);
        if (sessions == nullptr) {
            oldest = client;
            oldestOrder = entry.order;
        }
        g_list_free_full(sessions, g_object_unref);
    }
    return oldest;
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
    for (GstRTSPSession* session : found->second.sessions) {
        g_object_unref(session);
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
