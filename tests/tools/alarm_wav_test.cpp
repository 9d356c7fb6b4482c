#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kAlarmWav[] = OVISTRA_ALARM_WAV_PATH;
const char kMakeAlarmWav[] = OVISTRA_MAKE_ALARM_WAV;

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t U16(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::string Tag(const std::vector<unsigned char>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

struct GstUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
using ElementPtr = std::unique_ptr<GstElement, GstUnref>;
using BusPtr = std::unique_ptr<GstBus, GstUnref>;

struct Decoded {
    int rateHz = 0;
    std::vector<int16_t> samples;
    std::string error;
};

// Decodes through the machine's own decoders, as the station will play it.
Decoded Decode(const std::string& path) {
    Decoded out;
    GError* parseError = nullptr;
    ElementPtr pipeline(gst_parse_launch(
        "filesrc name=src ! decodebin ! audioconvert ! audio/x-raw,format=S16LE,channels=1 ! "
        "appsink name=sink sync=false",
        &parseError));
    if (!pipeline || parseError != nullptr) {
        out.error = parseError ? parseError->message : "no pipeline";
        g_clear_error(&parseError);
        return out;
    }
    ElementPtr src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
    ElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    g_object_set(src.get(), "location", path.c_str(), nullptr);
    BusPtr bus(gst_element_get_bus(pipeline.get()));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);

    // The wait only guards against a hung pipeline; it measures nothing.
    for (int idleTries = 0; idleTries < 100;) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), GST_SECOND / 10);
        if (sample != nullptr) {
            const GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            gst_structure_get_int(s, "rate", &out.rateHz);
            GstMapInfo map;
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                const auto* first = reinterpret_cast<const int16_t*>(map.data);
                out.samples.insert(out.samples.end(), first, first + map.size / 2);
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
            continue;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink.get()))) {
            break;
        }
        if (GstMessage* m = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)) {
            GError* error = nullptr;
            gst_message_parse_error(m, &error, nullptr);
            out.error = error->message;
            g_error_free(error);
            gst_message_unref(m);
            break;
        }
        ++idleTries;
    }
    if (out.error.empty() && !gst_app_sink_is_eos(GST_APP_SINK(sink.get()))) {
        out.error = "decoding never finished";
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return out;
}

// Frequency from the sign changes of a window; samples near zero are skipped so the quiet
// fades cannot add crossings.
double PitchHz(const std::vector<int16_t>& samples, int rateHz, double fromSeconds,
               double toSeconds) {
    const size_t from = static_cast<size_t>(fromSeconds * rateHz);
    const size_t to = std::min(samples.size(), static_cast<size_t>(toSeconds * rateHz));
    int crossings = 0;
    int lastSign = 0;
    for (size_t i = from; i < to; ++i) {
        const int sign = samples[i] > 200 ? 1 : samples[i] < -200 ? -1 : 0;
        if (sign != 0 && lastSign != 0 && sign != lastSign) {
            ++crossings;
        }
        if (sign != 0) {
            lastSign = sign;
        }
    }
    return crossings / 2.0 / (toSeconds - fromSeconds);
}

class AlarmSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        decoded_ = new Decoded(Decode(kAlarmWav));
    }
    static void TearDownTestSuite() {
        delete decoded_;
        decoded_ = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(decoded_->error, "");
        ASSERT_GT(decoded_->rateHz, 0);
    }
    static Decoded* decoded_;
};
Decoded* AlarmSound::decoded_ = nullptr;

TEST_F(AlarmSound, HeaderIsCanonicalMonoSixteenBitPcm) {
    const std::vector<unsigned char> b = ReadBytes(kAlarmWav);
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(Tag(b, 0), "RIFF");
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    EXPECT_EQ(Tag(b, 8), "WAVE");
    EXPECT_EQ(Tag(b, 12), "fmt ");
    EXPECT_EQ(U32(b, 16), 16u);
    EXPECT_EQ(U16(b, 20), 1) << "PCM";
    EXPECT_EQ(U16(b, 22), 1) << "channels";
    EXPECT_EQ(U32(b, 24), 22050u);
    EXPECT_EQ(U32(b, 28), 22050u * 2) << "byte rate";
    EXPECT_EQ(U16(b, 32), 2) << "block align";
    EXPECT_EQ(U16(b, 34), 16) << "bits per sample";
    EXPECT_EQ(Tag(b, 36), "data");
    EXPECT_EQ(U32(b, 40), b.size() - 44);
}

TEST_F(AlarmSound, IsLongAndLoudEnoughWithoutClipping) {
    const std::vector<int16_t>& s = decoded_->samples;
    EXPECT_GE(s.size(), static_cast<size_t>(decoded_->rateHz)) << "at least one second";
    double sumSquares = 0;
    int peak = 0;
    for (int16_t v : s) {
        sumSquares += double(v) * v;
        peak = std::max(peak, std::abs(int(v)));
    }
    const double rms = std::sqrt(sumSquares / std::max<size_t>(s.size(), 1));
    EXPECT_GT(rms, 0.1 * 32767);
    EXPECT_LT(peak, 0.9 * 32767);
}

TEST_F(AlarmSound, AlternatesBetweenTwoDistinctPitches) {
    const auto& s = decoded_->samples;
    const int rate = decoded_->rateHz;
    const double first = PitchHz(s, rate, 0.0, 0.25);
    const double second = PitchHz(s, rate, 0.25, 0.5);
    const double third = PitchHz(s, rate, 0.5, 0.75);
    for (double hz : {first, second, third}) {
        EXPECT_GT(hz, 300.0);
        EXPECT_LT(hz, 2000.0);
    }
    EXPECT_GT(std::abs(first - second), 0.15 * std::max(first, second));
    EXPECT_LT(std::abs(first - third), 0.05 * first) << "the tones take turns";
}

TEST_F(AlarmSound, NeitherPitchChangesNorEndsClick) {
    const auto& s = decoded_->samples;
    ASSERT_GT(s.size(), 2u);
    int peak = 0;
    int largestStep = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        peak = std::max(peak, std::abs(int(s[i])));
        if (i > 0) {
            largestStep = std::max(largestStep, std::abs(int(s[i]) - int(s[i - 1])));
        }
    }
    // A sine below 1 kHz at this rate moves at most about a quarter of its peak per sample; a
    // jump in level is a click.
    EXPECT_LT(largestStep, 0.35 * peak);
    EXPECT_LT(std::abs(int(s.front())), 0.05 * peak);
    EXPECT_LT(std::abs(int(s.back())), 0.05 * peak);
}

TEST(AlarmSoundTool, ReportsFailureInsteadOfWritingNothing) {
    // A path under a plain file can never be created.
    const std::filesystem::path missing = std::filesystem::path(kAlarmWav) / "Alarm.wav";
    const std::string tool = std::string("'") + kMakeAlarmWav + "'";
    EXPECT_NE(std::system((tool + " '" + missing.string() + "' 2>/dev/null").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_NE(std::system((tool + " 2>/dev/null").c_str()), 0) << "no output path";
}

}  // namespace
