#include "rtsp_server.h"

#include <fcntl.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture_device.h"
#include "event_log.h"
#include "frame_router.h"
#include "loopback_port.h"

namespace ovistra::network {
namespace {

using namespace std::chrono_literals;

struct Colour {
    uint8_t y, u, v;  // what the grabber holds
    int r, g, b;      // what a client should see, near enough
};
constexpr Colour kCameraColours[4] = {{81, 90, 240, 255, 0, 0},
                                      {145, 54, 34, 0, 255, 0},
                                      {41, 240, 110, 0, 0, 255},
                                      {210, 16, 146, 255, 255, 0}};
constexpr int kWidth = media::kFrameWidth, kHeight = 480;
constexpr int kTolerance = 40;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void FillSolid(media::FrameGrabber& grabber, const Colour& colour) {
    std::vector<uint8_t> frame(media::kFrameBytes);
    for (size_t i = 0; i < frame.size(); i += 4) {
        frame[i] = colour.y, frame[i + 1] = colour.u, frame[i + 2] = colour.y,
        frame[i + 3] = colour.v;
    }
    grabber.Store(frame.data(), frame.size());
}

// RGB24 pictures as clients decode them.
struct Picture {
    QByteArray rgb;
    const uint8_t* at(int x, int y) const {
        return reinterpret_cast<const uint8_t*>(rgb.constData()) + (size_t(y) * kWidth + x) * 3;
    }
    bool Near(int x, int y, const Colour& colour) const {
        const uint8_t* p = at(x, y);
        return std::abs(p[0] - colour.r) < kTolerance && std::abs(p[1] - colour.g) < kTolerance &&
               std::abs(p[2] - colour.b) < kTolerance;
    }
    // Pixels of the box that are far from `colour`: a burnt-in text shows as many.
    int Unlike(int left, int top, int width, int height, const Colour& colour) const {
        int count = 0;
        for (int y = top; y < top + height; ++y) {
            for (int x = left; x < left + width; ++x) {
                count += Near(x, y, colour) ? 0 : 1;
            }
        }
        return count;
    }
};

class EventCapture {
public:
    EventCapture() {
        EventLog::Instance().Enable([this](const QByteArray& line) {
            std::lock_guard lock(lock_);
            text_ += line;
        });
    }
    ~EventCapture() { EventLog::Instance().Disable(); }
    QByteArray text() {
        std::lock_guard lock(lock_);
        return text_;
    }
    int Count(const QByteArray& part) { return text().count(part); }

private:
    std::mutex lock_;
    QByteArray text_;
};

// ffmpeg as a player: one decoded picture in RGB24, over RTSP on TCP.
class Player {
public:
    explicit Player(const QString& url, bool onePicture = true) {
        // The stream's parameters come with the session description: no need to wait and probe.
        QStringList arguments{"-nostdin", "-v",
                              "error",    "-rtsp_transport",
                              "tcp",      "-analyzeduration",
                              "0",        "-probesize",
                              "32",       "-i",
                              url};
        if (onePicture) {
            arguments << "-frames:v"
                      << "1"
                      << "-f"
                      << "rawvideo"
                      << "-pix_fmt"
                      << "rgb24"
                      << "-";
        } else {
            arguments << "-f"
                      << "null"
                      << "-";
        }
        process_.start(QStringLiteral("ffmpeg"), arguments);
    }
    ~Player() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    Picture Finish() {
        if (!process_.waitForFinished(20000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        errors_ = process_.readAllStandardError();
        return {process_.readAllStandardOutput()};
    }
    const QByteArray& errors() const { return errors_; }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QByteArray errors_;
};

// What the server answers on `fd` within the timeout: the head of its reply, or nothing once
// it closes the connection.
QByteArray ReadReply(int fd, int timeoutMs = 5000) {
    QByteArray reply;
    pollfd poller{fd, POLLIN, 0};
    while (!reply.contains("\r\n\r\n") && poll(&poller, 1, timeoutMs) > 0) {
        char chunk[2048];
        const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) {
            break;
        }
        reply.append(chunk, got);
    }
    return reply;
}

QByteArray Describe(int port, const QString& path) {
    const int fd = testsupport::ConnectToLoopback(static_cast<uint16_t>(port));
    const QByteArray request = QStringLiteral(
                                   "DESCRIBE rtsp://127.0.0.1:%1%2 RTSP/1.0\r\nCSeq: 1\r\n"
                                   "Accept: application/sdp\r\n\r\n")
                                   .arg(port)
                                   .arg(path)
                                   .toUtf8();
    send(fd, request.constData(), request.size(), MSG_NOSIGNAL);
    QByteArray reply = ReadReply(fd);
    close(fd);
    return reply;
}

RtspServerConfig LoopbackConfig() {
    RtspServerConfig config;
    config.port = 0;  // any free port; the url tells which
    return config;
}

class RtspServerTest : public testing::Test {
protected:
    void SetUp() override {
        for (int camera = 0; camera < 4; ++camera) {
            FillSolid(router_.grabber(camera), kCameraColours[camera]);
        }
        server_.SetRouter(&router_);
        server_.SetCaptions(
            {QStringLiteral("Gate"), QStringLiteral("Yard"), QStringLiteral("Door"), {}});
        server_.SetTimeStampMask(0b0001);
    }
    void TearDown() override { server_.Stop(); }

    QString StartServer(const RtspServerConfig& config = LoopbackConfig()) {
        const RtspServer::Started started = server_.Start(config);
        EXPECT_TRUE(started.ok) << started.reason.toStdString();
        port_ = QUrl(started.url).port();
        return started.url;
    }

    EventCapture events_;
    media::FrameRouter router_;
    RtspServer server_;
    int port_ = 0;
};

TEST_F(RtspServerTest, EveryPathShowsItsCameraToClientsAtOnce) {
    const QString url = StartServer();
    std::vector<std::unique_ptr<Player>> players;
    for (const char* path : {"camera1", "camera2", "camera3", "camera4", "all"}) {
        players.push_back(std::make_unique<Player>(url + path));
    }
    std::vector<Picture> pictures;
    for (auto& player : players) {
        pictures.push_back(player->Finish());
        ASSERT_EQ(pictures.back().rgb.size(), kWidth * kHeight * 3)
            << "path " << pictures.size() << ": " << player->errors().toStdString();
    }
    for (int camera = 0; camera < 4; ++camera) {
        EXPECT_TRUE(pictures[camera].Near(kWidth / 2, kHeight / 2, kCameraColours[camera]))
            << "camera " << camera + 1;
        const int left = (camera & 1) * kWidth / 2, top = (camera >> 1) * kHeight / 2;
        EXPECT_TRUE(pictures[4].Near(left + kWidth / 4, top + kHeight / 4, kCameraColours[camera]))
            << "quarter " << camera;
        // The captions sit at the bottom left of each quarter; camera 4 has none.
        const int captionPixels =
            pictures[4].Unlike(left + 4, top + kHeight / 2 - 30, 120, 24, kCameraColours[camera]);
        EXPECT_EQ(captionPixels > 20, camera < 3) << "caption of quarter " << camera;
    }
    // Only camera 1 carries the date and time, top left.
    EXPECT_GT(pictures[0].Unlike(0, 0, 200, 20, kCameraColours[0]), 50);
    EXPECT_EQ(pictures[1].Unlike(0, 0, 200, 20, kCameraColours[1]), 0);

    for (const char* path : {"/camera1", "/camera2", "/camera3", "/camera4", "/all"}) {
        EXPECT_EQ(events_.Count(QByteArray("rtsp-client address=127.0.0.1 path=") + path), 1);
    }
    EXPECT_TRUE(WaitFor([&] { return events_.Count("rtsp-client-gone address=127.0.0.1") == 5; }));
    EXPECT_TRUE(WaitFor([&] { return server_.sessions() == 0; }));
}

TEST_F(RtspServerTest, RefusesToStartWhereItMayNotListen) {
    const QString url = StartServer();
    RtspServer other;
    struct Case {
        const char* bind;
        uint16_t port;
        bool credentials;
        const char* reason;
    };
    const Case cases[] = {
        {"0.0.0.0", 0, false, "credentials"},
        {"192.0.2.1", 0, false, "credentials"},
        {"192.0.2.1", 0, true, "address"},  // not this machine's
        {"camera.example", 0, true, "address"},
        {"127.0.0.1", uint16_t(port_), false, "port"},  // taken by the first server
    };
    for (const Case& c : cases) {
        RtspServerConfig config;
        config.bind = QString::fromLatin1(c.bind);
        config.port = c.port;
        if (c.credentials) {
            config.credentials = {QStringLiteral("watcher"), QStringLiteral("pw")};
        }
        const RtspServer::Started started = other.Start(config);
        EXPECT_FALSE(started.ok) << c.bind;
        EXPECT_FALSE(other.running()) << c.bind;
        EXPECT_EQ(started.reason.toStdString(), c.reason) << c.bind;
    }
    EXPECT_TRUE(Describe(port_, "/camera1").startsWith("RTSP/1.0 200"))
        << "the first one still serves";
}

TEST_F(RtspServerTest, AsksForTheUserAndPasswordOnEveryPath) {
    RtspServerConfig config = LoopbackConfig();
    config.credentials = {QStringLiteral("watcher"), QStringLiteral("Sesame-42")};
    const QString url = StartServer(config);
    const QString withPassword = QString(url).replace("rtsp://", "rtsp://watcher:Sesame-42@");
    const QString withWrongPassword = QString(url).replace("rtsp://", "rtsp://watcher:sesame-42@");
    Player right(withPassword + "camera3");
    Player wrong(withWrongPassword + "camera3");
    Player none(url + "all");
    EXPECT_TRUE(right.Finish().Near(kWidth / 2, kHeight / 2, kCameraColours[2]))
        << right.errors().toStdString();
    EXPECT_TRUE(wrong.Finish().rgb.isEmpty());
    EXPECT_TRUE(wrong.errors().contains("401")) << wrong.errors().toStdString();
    EXPECT_TRUE(none.Finish().rgb.isEmpty());
    EXPECT_TRUE(none.errors().contains("401")) << none.errors().toStdString();
    EXPECT_TRUE(Describe(port_, "/camera1").startsWith("RTSP/1.0 401"));

    EXPECT_TRUE(WaitFor([&] { return events_.Count("rtsp-client-gone") == 1; }));
    const QByteArray lines = events_.text();
    EXPECT_TRUE(lines.contains("rtsp-client address=127.0.0.1 path=/camera3"))
        << lines.toStdString();
    EXPECT_FALSE(lines.contains("watcher")) << lines.toStdString();
    EXPECT_FALSE(lines.contains("esame")) << lines.toStdString();
}

TEST_F(RtspServerTest, AnswersUnknownPathsAndBrokenRequestsAndServesOn) {
    // Wild limits from a damaged settings file still give a server that works.
    RtspServerConfig config = LoopbackConfig();
    config.maxClients = UINT32_MAX;
    config.frameRate = 0;
    StartServer(config);
    EXPECT_TRUE(Describe(port_, "/camera5").startsWith("RTSP/1.0 404"));
    EXPECT_TRUE(Describe(port_, "/").startsWith("RTSP/1.0 404"));
    const int garbage = testsupport::ConnectToLoopback(static_cast<uint16_t>(port_));
    static const char kNoise[] = "\x01\xff GET / HTTP/9.9\r\n\x7f\x00zz\r\n\r\n";
    const QByteArray noise(kNoise, sizeof kNoise - 1);
    send(garbage, noise.constData(), noise.size(), MSG_NOSIGNAL);
    const QByteArray reply = ReadReply(garbage);
    EXPECT_TRUE(reply.isEmpty() || reply.startsWith("RTSP/1.0 4")) << reply.toStdString();
    const QByteArray described = Describe(port_, "/camera2");
    EXPECT_TRUE(described.startsWith("RTSP/1.0 200")) << described.toStdString();
    close(garbage);
}

TEST_F(RtspServerTest, AFloodOfConnectionsLeavesTheServerServing) {
    const QString url = StartServer();
    std::vector<int> flood;
    for (int i = 0; i < 50; ++i) {
        flood.push_back(testsupport::ConnectToLoopback(static_cast<uint16_t>(port_)));
    }
    const QByteArray halfRequest("DESCRIBE rtsp://127.0.0.1/camera1 RTSP/1.0\r\nCSe");
    send(flood.back(), halfRequest.constData(), halfRequest.size(), MSG_NOSIGNAL);
    Player player(url + "camera4");
    const Picture picture = player.Finish();
    ASSERT_EQ(picture.rgb.size(), kWidth * kHeight * 3) << player.errors().toStdString();
    EXPECT_TRUE(picture.Near(kWidth / 2, kHeight / 2, kCameraColours[3]));
    // Connections that never set up a session are all closed, the half request's too.
    for (const int fd : flood) {
        if (fd >= 0) {
            EXPECT_TRUE(ReadReply(fd, 15000).isEmpty());
            close(fd);
        }
    }
    EXPECT_TRUE(Describe(port_, "/camera1").startsWith("RTSP/1.0 200"));
}

// A client in this process, for watching what others do to the stream.
class Watcher {
public:
    explicit Watcher(const QString& url) {
        const QString description =
            QStringLiteral(
                "rtspsrc location=%1 protocols=tcp latency=0 ! decodebin ! videoconvert ! "
                "video/x-raw,format=RGB ! appsink name=sink sync=false max-buffers=1 drop=true")
                .arg(url);
        pipeline_ = gst_parse_launch(description.toUtf8().constData(), nullptr);
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    ~Watcher() {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(sink_);
        gst_object_unref(pipeline_);
    }
    // The next picture within a few seconds, or nothing.
    Picture Next() {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 10 * GST_SECOND);
        if (sample == nullptr) {
            return {};
        }
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        Picture picture{QByteArray(reinterpret_cast<const char*>(map.data), int(map.size))};
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        return picture;
    }

private:
    GstElement* pipeline_;
    GstElement* sink_;
};

TEST_F(RtspServerTest, AKilledPlayerGivesUpItsPlaceAndTheOthersWatchOn) {
    RtspServerConfig config = LoopbackConfig();
    config.maxClients = 2;
    const QString url = StartServer(config);
    Watcher watcher(url + "camera2");
    ASSERT_TRUE(watcher.Next().Near(kWidth / 2, kHeight / 2, kCameraColours[1]));
    {
        Player player(url + "camera2", false);
        ASSERT_TRUE(WaitFor([&] { return events_.Count("path=/camera2") == 2; }));
        Player refused(url + "camera1");
        EXPECT_TRUE(refused.Finish().rgb.isEmpty());
        EXPECT_TRUE(refused.errors().contains("503")) << refused.errors().toStdString();
        player.process().kill();
    }
    EXPECT_TRUE(WaitFor([&] { return events_.Count("rtsp-client-gone") == 1; }));
    // The shared stream goes on, with pictures made after the kill.
    FillSolid(router_.grabber(1), kCameraColours[0]);
    EXPECT_TRUE(
        WaitFor([&] { return watcher.Next().Near(kWidth / 2, kHeight / 2, kCameraColours[0]); }));
    // The killed player's place is free at once, not when its session would have timed out.
    Player next(url + "camera3");
    EXPECT_TRUE(next.Finish().Near(kWidth / 2, kHeight / 2, kCameraColours[2]))
        << next.errors().toStdString();

    // Stopping drops the one still watching.
    server_.Stop();
    EXPECT_EQ(server_.sessions(), 0u);
    EXPECT_EQ(events_.Count("rtsp-client-gone"), 3);
}

}  // namespace
}  // namespace ovistra::network
