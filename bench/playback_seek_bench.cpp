// A seek in a recording as the station writes it (640x480 MPEG-4 at 25 pictures a second, a key
// picture every ten seconds, ten minutes long): the playback dialog's slider seek, paused, until
// the new picture is in the grabber; beside the media framework's own player doing the same.
// OVISTRA_BENCH_SEEK_SECONDS shortens the recording (the test run uses a few seconds).
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "frame_grabber.h"
#include "playback_graph.h"

namespace {

int RecordingSeconds() {
    const char* asked = std::getenv("OVISTRA_BENCH_SEEK_SECONDS");
    const int seconds = asked ? std::atoi(asked) : 600;
    return std::clamp(seconds, 2, 3600);
}

// Made once per run in the temporary folder.
const std::string& Recording() {
    static const std::string path = [] {
        gst_init(nullptr, nullptr);
        const int seconds = RecordingSeconds();
        const std::string file = (std::filesystem::temp_directory_path() /
                                  ("ovistra-seek-" + std::to_string(seconds) + "s.avi"))
                                     .string();
        if (std::filesystem::exists(file)) {
            return file;
        }
        const std::string line =
            "videotestsrc num-buffers=" + std::to_string(seconds * 25) +
            " pattern=ball ! video/x-raw,format=I420,width=640,height=480,framerate=25/1 ! "
            "avenc_mpeg4 pass=quant quantizer=4 gop-size=250 ! avimux ! filesink location=\"" +
            file + ".part\"";
        GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* end = gst_bus_timed_pop_filtered(
            bus, GST_CLOCK_TIME_NONE,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const bool made = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
        gst_message_unref(end);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        if (made) {
            std::filesystem::rename(file + ".part", file);
        }
        return made ? file : std::string();
    }();
    return path;
}

// Seek targets spread over the whole recording, the same for every player.
std::vector<double> Targets(double duration) {
    std::mt19937 random(2820);
    std::uniform_real_distribution<double> place(0.0, duration);
    std::vector<double> targets(64);
    for (double& target : targets) {
        target = place(random);
    }
    return targets;
}

// Times each iteration and reports the median in milliseconds.
class SeekTimes {
public:
    void Add(std::chrono::steady_clock::duration took) { times_.push_back(took); }
    void Report(benchmark::State& state) {
        if (times_.empty()) {
            return;
        }
        std::nth_element(times_.begin(), times_.begin() + times_.size() / 2, times_.end());
        state.counters["median_ms"] =
            std::chrono::duration<double, std::milli>(times_[times_.size() / 2]).count();
    }

private:
    std::vector<std::chrono::steady_clock::duration> times_;
};

void BM_PlaybackSeek(benchmark::State& state) {
    if (Recording().empty()) {
        state.SkipWithError("the recording could not be made");
        return;
    }
    setenv("OVISTRA_AUDIO_SINK", "fake", 1);
    ovistra::media::FrameGrabber grabber;
    ovistra::media::PlaybackGraph graph(grabber, [] {});
    if (!graph.Open(Recording()) || !graph.Duration()) {
        state.SkipWithError("the recording could not be opened");
        return;
    }
    const std::vector<double> targets = Targets(*graph.Duration());
    SeekTimes times;
    size_t i = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        graph.Seek(targets[i++ % targets.size()]);  // returns once the picture is there
        times.Add(std::chrono::steady_clock::now() - start);
    }
    times.Report(state);
}
BENCHMARK(BM_PlaybackSeek)->Unit(benchmark::kMillisecond);

// The framework's own player, paused on the same file, the same key-picture seeks.
void BM_Peer_Playbin_Seek(benchmark::State& state) {
    if (Recording().empty()) {
        state.SkipWithError("the recording could not be made");
        return;
    }
    GstElement* player = gst_element_factory_make("playbin", nullptr);
    GstElement* video = gst_element_factory_make("fakesink", nullptr);
    GstElement* audio = gst_element_factory_make("fakesink", nullptr);
    if (!player || !video || !audio) {
        state.SkipWithError("playbin is not installed");
        return;
    }
    gchar* uri = gst_filename_to_uri(Recording().c_str(), nullptr);
    g_object_set(player, "uri", uri, "video-sink", video, "audio-sink", audio, nullptr);
    g_free(uri);
    gst_element_set_state(player, GST_STATE_PAUSED);
    gst_element_get_state(player, nullptr, nullptr, 10 * GST_SECOND);
    gint64 duration = 0;
    gst_element_query_duration(player, GST_FORMAT_TIME, &duration);
    const std::vector<double> targets = Targets(static_cast<double>(duration) / GST_SECOND);
    SeekTimes times;
    size_t i = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        gst_element_seek_simple(
            player, GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
            static_cast<gint64>(targets[i++ % targets.size()] * GST_SECOND));
        gst_element_get_state(player, nullptr, nullptr, 10 * GST_SECOND);
        times.Add(std::chrono::steady_clock::now() - start);
    }
    times.Report(state);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
}
BENCHMARK(BM_Peer_Playbin_Seek)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
