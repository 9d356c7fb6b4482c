#include "rtsp_server.h"

#include <gst/rtsp-server/rtsp-server.h>

#include <algorithm>
#include <thread>

#include "client_guard.h"
#include "picture_feed.h"
#include "picture_planes.h"

namespace ovistra::network {
namespace {

constexpr uint32_t kSetupSeconds = 5;        // a connection has this long to set up a session
constexpr uint32_t kKeyIntervalSeconds = 2;  // a new client waits at most this for a key picture
constexpr uint32_t kMostClients = 64;
constexpr const char* kViewerRole = "viewer";
constexpr std::array<const char*, PictureFeed::kPaths> kPathNames = {
    "/camera1", "/camera2", "/camera3", "/camera4", "/all"};

bool HasElement(const char* name) {
    GstElementFactory* factory = gst_element_factory_find(name);
    if (factory == nullptr) {
        return false;
    }
    gst_object_unref(factory);
    return true;
}

// The encoding half of each path's launch description; empty when nothing can encode.
QString EncoderDescription(uint32_t frameRate) {
    if (!HasElement("appsrc")) {
        return {};
    }
    if (HasElement("x264enc") && HasElement("rtph264pay")) {
        return QStringLiteral(
                   "x264enc tune=zerolatency speed-preset=ultrafast trellis=false threads=1 "
                   "bitrate=1000 "
                   "key-int-max=%1 ! rtph264pay name=pay0 pt=96 config-interval=-1")
            .arg(frameRate * kKeyIntervalSeconds);
    }
    if (HasElement("jpegenc") && HasElement("rtpjpegpay")) {
        return QStringLiteral("jpegenc quality=80 ! rtpjpegpay name=pay0 pt=26");
    }
    return {};
}

// Whether a socket can be bound to `address` here: one of this machine's, or "any".
bool IsAddressOfThisMachine(GInetAddress* address) {
    GSocket* socket = g_socket_new(g_inet_address_get_family(address), G_SOCKET_TYPE_STREAM,
                                   G_SOCKET_PROTOCOL_TCP, nullptr);
    if (socket == nullptr) {
        return false;
    }
    GSocketAddress* socketAddress = g_inet_socket_address_new(address, 0);
    const bool bound = g_socket_bind(socket, socketAddress, FALSE, nullptr);
    g_object_unref(socketAddress);
    g_object_unref(socket);
    return bound;
}

// A path's media: which path it is and the feed that fills it.
struct PathLink {
    PictureFeed* feed = nullptr;
    int path = 0;
    uint32_t frameRate = 0;
};

// The source of one prepared media, let go when the media is unprepared.
struct AttachedSource {
    PictureFeed* feed;
    int path;
    GstElement* source;
};

void OnMediaUnprepared(GstRTSPMedia*, gpointer data) {
    const auto* attached = static_cast<AttachedSource*>(data);
    attached->feed->Detach(attached->path, attached->source);
}

void OnMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
    const auto* link = static_cast<PathLink*>(data);
    GstElement* bin = gst_rtsp_media_get_element(media);
    GstElement* source = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "src");
    gst_object_unref(bin);
    if (source == nullptr) {
        return;
    }
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                            kPictureWidth, "height", G_TYPE_INT, kPictureHeight, "framerate",
                            GST_TYPE_FRACTION, static_cast<int>(link->frameRate), 1, nullptr);
    g_object_set(source, "caps", caps, nullptr);
    gst_caps_unref(caps);
    link->feed->Attach(link->path, source);
    g_signal_connect_data(
        media, "unprepared", G_CALLBACK(OnMediaUnprepared),
        new AttachedSource{link->feed, link->path, source},
        [](gpointer data, GClosure*) {
            auto* attached = static_cast<AttachedSource*>(data);
            gst_object_unref(attached->source);
            delete attached;
        },
        GConnectFlags(0));
}

gboolean CleanUpSessions(GstRTSPSessionPool* pool, gpointer) {
    gst_rtsp_session_pool_cleanup(pool);
    return G_SOURCE_CONTINUE;
}

GstRTSPFilterResult RemoveEverySession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult RemoveEveryClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

}  // namespace

class RtspServer::Impl {
public:
    Impl() {
        if (!gst_is_initialized()) {
            gst_init(nullptr, nullptr);
        }
        pool_ = gst_rtsp_session_pool_new();
    }
    ~Impl() {
        Stop();
        g_object_unref(pool_);
    }

    Started Start(const RtspServerConfig& config);
    void Stop();
    bool running() const { return thread_.joinable(); }
    uint32_t sessions() const { return gst_rtsp_session_pool_get_n_sessions(pool_); }

    PictureFeed feed_;

private:
    GstRTSPMediaFactory* NewFactory(int path, const QString& description, bool authenticated);
    void StopOnServerThread();
    void Release();

    GstRTSPSessionPool* pool_ = nullptr;  // for the Impl's lifetime, so sessions() is always safe
    std::array<PathLink, PictureFeed::kPaths> links_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GstRTSPServer* server_ = nullptr;
    GSource* listening_ = nullptr;
    GSource* sessionWatch_ = nullptr;
    std::unique_ptr<ClientGuard> guard_;  // the server thread's while it runs
    std::thread thread_;
};

RtspServer::Started RtspServer::Impl::Start(const RtspServerConfig& config) {
    Stop();
    Started started;
    GInetAddress* address =
        g_inet_address_new_from_string(config.bind.trimmed().toUtf8().constData());
    if (address == nullptr) {
        started.reason = QStringLiteral("address");
        return started;
    }
    const bool loopback = g_inet_address_get_is_loopback(address);
    const bool local = IsAddressOfThisMachine(address);
    const bool ipv6 = g_inet_address_get_family(address) == G_SOCKET_FAMILY_IPV6;
    gchar* addressText = g_inet_address_to_string(address);
    const QString host = QString::fromUtf8(addressText);
    g_free(addressText);
    g_object_unref(address);
    const bool authenticated = !config.credentials.empty();
    if (!loopback && !authenticated) {
        started.reason = QStringLiteral("credentials");
        return started;
    }
    if (!local) {
        started.reason = QStringLiteral("address");
        return started;
    }
    const uint32_t frameRate = std::clamp<uint32_t>(config.frameRate, 1, 60);
    const QString encoder = EncoderDescription(frameRate);
    if (encoder.isEmpty()) {
        started.reason = QStringLiteral("encoder");
        return started;
    }

    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    server_ = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server_, host.toUtf8().constData());
    gst_rtsp_server_set_service(server_, QByteArray::number(config.port).constData());
    // A wild setting still leaves the connection budget below a sane bound.
    const uint32_t maxClients = std::clamp<uint32_t>(config.maxClients, 1, kMostClients);
    gst_rtsp_session_pool_set_max_sessions(pool_, maxClients);
    gst_rtsp_server_set_session_pool(server_, pool_);
    // Clients served on this loop's own thread, not the library's client thread: the guard
    // and its signals then live on one thread.
    GstRTSPThreadPool* threads = gst_rtsp_server_get_thread_pool(server_);
    gst_rtsp_thread_pool_set_max_threads(threads, 0);
    g_object_unref(threads);

    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server_);
    for (int path = 0; path < PictureFeed::kPaths; ++path) {
        links_[path] = PathLink{&feed_, path, frameRate};
        gst_rtsp_mount_points_add_factory(mounts, kPathNames[path],
                                          NewFactory(path, encoder, authenticated));
    }
    g_object_unref(mounts);
    if (authenticated) {
        GstRTSPAuth* auth = gst_rtsp_auth_new();
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
        GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING,
                                                 kViewerRole, nullptr);
        gst_rtsp_auth_add_digest(auth, config.credentials.user.toUtf8().constData(),
                                 config.credentials.password.toUtf8().constData(), token);
        gst_rtsp_token_unref(token);
        gst_rtsp_server_set_auth(server_, auth);
        g_object_unref(auth);
    }
    // Room for every allowed session plus a few connections still setting up.
    const uint32_t maxConnections = 2 * maxClients + 8;
    gst_rtsp_server_set_backlog(server_, static_cast<int>(maxConnections));
    guard_ = std::make_unique<ClientGuard>(context_, maxConnections, kSetupSeconds);
    g_signal_connect(server_, "client-connected", G_CALLBACK(ClientGuard::OnClientConnected),
                     guard_.get());

    GError* error = nullptr;  // the library reads it on failure
    listening_ = gst_rtsp_server_create_source(server_, nullptr, &error);
    g_clear_error(&error);
    if (listening_ == nullptr) {
        Release();
        started.reason = QStringLiteral("port");
        return started;
    }
    g_source_attach(listening_, context_);
    sessionWatch_ = gst_rtsp_session_pool_create_watch(pool_);
    g_source_set_callback(sessionWatch_, G_SOURCE_FUNC(CleanUpSessions), nullptr, nullptr);
    g_source_attach(sessionWatch_, context_);

    feed_.Start(frameRate);
    thread_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        // What closing the clients left to do (their last references, media teardown).
        while (g_main_context_iteration(context_, FALSE)) {
        }
        g_main_context_pop_thread_default(context_);
    });
    const int port = gst_rtsp_server_get_bound_port(server_);
    started.ok = true;
    started.url = QStringLiteral("rtsp://%1:%2/").arg(ipv6 ? '[' + host + ']' : host).arg(port);
    return started;
}

GstRTSPMediaFactory* RtspServer::Impl::NewFactory(int path, const QString& encoder,
                                                  bool authenticated) {
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    // Never blocks the feed and never holds more than two pictures.
    const QString launch = QStringLiteral(
                               "( appsrc name=src is-live=true format=time do-timestamp=true "
                               "block=false max-buffers=2 leaky-type=downstream ! %1 )")
                               .arg(encoder);
    gst_rtsp_media_factory_set_launch(factory, launch.toUtf8().constData());
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    gst_rtsp_media_factory_set_protocols(
        factory,
        static_cast<GstRTSPLowerTrans>(GST_RTSP_LOWER_TRANS_UDP | GST_RTSP_LOWER_TRANS_TCP));
    g_signal_connect(factory, "media-configure", G_CALLBACK(OnMediaConfigure), &links_[path]);
    if (authenticated) {
        gst_rtsp_media_factory_add_role(factory, kViewerRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                        G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                        G_TYPE_BOOLEAN, TRUE, nullptr);
    }
    return factory;
}

void RtspServer::Impl::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    feed_.Stop();
    g_main_context_invoke(
        context_,
        [](gpointer self) {
            static_cast<Impl*>(self)->StopOnServerThread();
            return G_SOURCE_REMOVE;
        },
        this);
    thread_.join();
    Release();
}

void RtspServer::Impl::StopOnServerThread() {
    g_source_destroy(listening_);
    g_source_destroy(sessionWatch_);
    gst_rtsp_server_client_filter(server_, RemoveEveryClient, nullptr);
    g_list_free_full(gst_rtsp_session_pool_filter(pool_, RemoveEverySession, nullptr),
                     g_object_unref);
    guard_.reset();
    g_main_loop_quit(loop_);
}

void RtspServer::Impl::Release() {
    guard_.reset();
    for (GSource** source : {&listening_, &sessionWatch_}) {
        if (*source != nullptr) {
            g_source_destroy(*source);
            g_source_unref(*source);
            *source = nullptr;
        }
    }
    g_clear_object(&server_);
    g_clear_pointer(&loop_, g_main_loop_unref);
    g_clear_pointer(&context_, g_main_context_unref);
}

RtspServer::RtspServer() : impl_(std::make_unique<Impl>()) {}
RtspServer::~RtspServer() = default;

RtspServer::Started RtspServer::Start(const RtspServerConfig& config) {
    return impl_->Start(config);
}
void RtspServer::Stop() {
    impl_->Stop();
}
bool RtspServer::running() const {
    return impl_->running();
}
void RtspServer::SetRouter(media::FrameRouter* router) {
    impl_->feed_.SetRouter(router);
}
void RtspServer::SetCaptions(const std::array<QString, 4>& captions) {
    impl_->feed_.SetCaptions(captions);
}
void RtspServer::SetTimeStampMask(uint32_t mask) {
    impl_->feed_.SetTimeStampMask(mask);
}
uint32_t RtspServer::sessions() const {
    return impl_->sessions();
}

}  // namespace ovistra::network
