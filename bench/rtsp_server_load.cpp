// What the RTSP server costs the station: its process's CPU time with one player per camera at
// the usual rate (four ffmpeg players decoding to nothing) above the same time with no player,
// the time from a request to the first decoded picture, and the delay from a picture stored
// by the capture to that picture decoded at a player on this machine.
//
//   rtsp_server_load [SECONDS]   each CPU measure lasts SECONDS (10)
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/resource.h>

#include <QGuiApplication>
#include <QProcess>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "bench_frames.h"
#include "capture_device.h"
#include "frame_router.h"
#include "rtsp_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Share of one core this process used over `seconds`.
double CoreShare(int seconds) {
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return 100.0 * (CpuSeconds() - cpu) / wall;
}

std::vector<uint8_t> Solid(uint8_t luma) {
    std::vector<uint8_t> frame(ovistra::media::kFrameBytes);
    for (size_t i = 0; i < frame.size(); i += 2) {
        frame[i] = luma;
        frame[i + 1] = 128;
    }
    return frame;
}

// A player in this process: the luma at the centre of each decoded picture.
class Player {
public:
    explicit Player(const QString& url) {
        const QString description =
            QStringLiteral(
                "rtspsrc location=%1 protocols=tcp latency=0 ! decodebin ! videoconvert ! "
                "video/x-raw,format=GRAY8 ! appsink name=sink sync=false max-buffers=1 drop=true")
                .arg(url);
        pipeline_ = gst_parse_launch(description.toUtf8().constData(), nullptr);
        sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    ~Player() {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(sink_);
        gst_object_unref(pipeline_);
    }
    int NextCentreLuma() {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 5 * GST_SECOND);
        if (sample == nullptr) {
            return -1;
        }
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const int luma = map.data[240 * 640 + 320];
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        return luma;
    }

private:
    GstElement* pipeline_;
    GstElement* sink_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    // The capture as the station sees it: 25 frames a second shared by cameras 1, 3 and 4, each
    // a textured scene with sensor noise and an object crossing it; camera 2 is left to the
    // delay measure.
    ovistra::media::FrameRouter router;
    std::vector<std::vector<uint8_t>> scenes;
    for (int step = 0; step < 24; ++step) {
        const std::vector<uint8_t> grey =
            bench::GreySceneWithObject(step % 3, 40 + 20 * step, 100 + 5 * (step % 3));
        std::vector<uint8_t> frame(ovistra::media::kFrameBytes);
        for (size_t i = 0; i < grey.size(); ++i) {
            frame[2 * i] = grey[i];
            frame[2 * i + 1] = static_cast<uint8_t>(120 + (i / 2 + step) % 16);
        }
        scenes.push_back(std::move(frame));
    }
    router.grabber(1).Store(scenes[0].data(), scenes[0].size());
    std::atomic<bool> capturing{true};
    std::thread capture([&] {
        const int cameras[] = {0, 2, 3};
        for (uint32_t n = 0; capturing; ++n) {
            const auto& scene = scenes[(n / 3) % 8 * 3 + n % 3];
            router.grabber(cameras[n % 3]).Store(scene.data(), scene.size());
            std::this_thread::sleep_for(40ms);
        }
    });

    ovistra::network::RtspServer server;
    server.SetRouter(&router);
    server.SetCaptions({"Gate", "Yard", "Door", "Hall"});
    server.SetTimeStampMask(0xF);
    ovistra::network::RtspServerConfig config;
    config.port = 0;
    const auto started = server.Start(config);
    if (!started.ok) {
        std::fprintf(stderr, "the server did not start: %s\n", qPrintable(started.reason));
        return 1;
    }
    const QString url = started.url;
    std::printf("serving at %s\n", qPrintable(url));
    std::fflush(stdout);

    const double idle = CoreShare(seconds);

    std::vector<double> firstMs;
    for (const char* path : {"camera1", "all", "camera3", "camera4"}) {
        const auto start = Clock::now();
        Player player(url + path);
        if (player.NextCentreLuma() >= 0) {
            firstMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }

    std::vector<double> delayMs;
    {
        Player player(url + "camera2");
        player.NextCentreLuma();
        for (int round = 0; round < 8; ++round) {
            const uint8_t luma = round % 2 ? 40 : 220;
            const auto frame = Solid(luma);
            const auto stored = Clock::now();
            router.grabber(1).Store(frame.data(), frame.size());
            for (int seen = player.NextCentreLuma(); seen >= 0 && std::abs(seen - luma) > 30;
                 seen = player.NextCentreLuma()) {
            }
            delayMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - stored).count());
        }
    }

    std::vector<std::unique_ptr<QProcess>> players;
    for (const char* path : {"camera1", "camera2", "camera3", "camera4"}) {
        players.push_back(std::make_unique<QProcess>());
        players.back()->start("ffmpeg", {"-nostdin", "-v", "error", "-rtsp_transport", "tcp", "-i",
                                         url + path, "-f", "null", "-"});
    }
    std::this_thread::sleep_for(3s);
    const uint32_t sessions = server.sessions();
    const double watched = CoreShare(seconds);
    for (auto& player : players) {
        player->kill();
        player->waitForFinished();
    }

    std::printf("cpu, no player:            %.1f%% of one core\n", idle);
    std::printf("cpu, %u players (1/camera): %.1f%% of one core (+%.1f%%)\n", sessions, watched,
                watched - idle);
    std::printf(
        "first picture:             median %.0f ms, worst %.0f ms (%zu paths)\n", Median(firstMs),
        firstMs.empty() ? -1 : *std::max_element(firstMs.begin(), firstMs.end()), firstMs.size());
    std::printf("stored to decoded:         median %.0f ms, worst %.0f ms\n", Median(delayMs),
                delayMs.empty() ? -1 : *std::max_element(delayMs.begin(), delayMs.end()));
    server.Stop();
    capturing = false;
    capture.join();
    return 0;
}
