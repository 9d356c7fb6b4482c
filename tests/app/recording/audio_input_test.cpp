// The audio camera's sound: which input is taken, and its sound in the file beside the pictures.
#include "audio_input.h"

#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "recorded_file.h"

namespace {

using ovistra::AudioInput;
using ovistra::StaticAudioInputList;
using namespace std::chrono_literals;

// An input whose element is made from a gst-launch description.
AudioInput Named(const char* name, const char* description) {
    return {name, [description] { return gst_parse_launch(description, nullptr); }};
}

// The recorder's pipeline, its mux and its source named "mux" and "src".
GstElement* RecorderPipeline(const QString& path) {
    const std::string line =
        "appsrc name=src format=time caps=video/x-raw,format=BGR,width=640,height=480,"
        "framerate=25/1 ! videoconvert ! avenc_mpeg4 ! avimux name=mux ! filesink async=false "
        "location=\"" +
        path.toStdString() + "\"";
    return gst_parse_launch(line.c_str(), nullptr);
}

GstElement* Child(GstElement* pipeline, const char* name) {
    GstElement* child = gst_bin_get_by_name(GST_BIN(pipeline), name);
    gst_object_unref(child);  // the pipeline keeps it
    return child;
}

// 2 s of pictures at the frame timer's pace, n x 40 ms, then the end of the stream as the
// recorder's Stop sends it: to the pictures only. True when the writer took that end.
bool Record(const QString& path, const StaticAudioInputList& inputs, bool* withSound) {
    GstElement* pipeline = RecorderPipeline(path);
    *withSound = ovistra::AddAudioBranch(GST_BIN(pipeline), Child(pipeline, "mux"), inputs);
    GstAppSrc* source = GST_APP_SRC(Child(pipeline, "src"));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const std::vector<uint8_t> picture(640 * 480 * 3, 128);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < 50; ++n) {
        std::this_thread::sleep_until(start + n * 40ms);
        GstBuffer* buffer = gst_buffer_new_memdup(picture.data(), picture.size());
        GST_BUFFER_PTS(buffer) = n * 40 * GST_MSECOND;
        GST_BUFFER_DURATION(buffer) = 40 * GST_MSECOND;
        gst_app_src_push_buffer(source, buffer);
    }
    gst_app_src_end_of_stream(source);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* eos = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GST_MESSAGE_EOS);
    const bool ended = eos != nullptr;
    if (eos) {
        gst_message_unref(eos);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ended;
}

TEST(AudioInput, TheDevicesOwnInputThenALineInputThenTheUsersChoiceIsTaken) {
    const ovistra::AudioPreference none;
    const ovistra::AudioPreference chosen{"", "Built-in Audio Analog Stereo"};
    const ovistra::AudioPreference both{"USB 2.0 A/V Converter", "Built-in Audio Analog Stereo"};
    const struct {
        std::vector<std::string> names;
        ovistra::AudioPreference preference;
        std::optional<size_t> taken;
    } cases[] = {
        {{"Mic", "Line in (USB Audio)"}, none, 1},
        {{"LINE IN 2"}, none, 0},
        {{"HDMI Output", "線性輸入 (Realtek High Definition Audio)"}, none, 1},
        {{"Line in 1", "線性輸入", "Line in 2"}, none, 0},
        {{"Line", "Lin in", " Line in", "Mic Line in", "線性", "線性輸出", ""}, none, std::nullopt},
        {{}, both, std::nullopt},
        // The device's own input wins over a line input, wherever it stands, in any case.
        {{"Line in", "Mic", "usb 2.0 a/v converter Analog Mono"}, both, 2},
        {{"USB 2.0 A/V", "Line in"}, both, 1},
        // The user's choice counts only where neither is there, and only by its whole name.
        {{"Built-in Audio Analog Stereo", "Line in"}, chosen, 1},
        {{"Mic", "Built-in Audio Analog Stereo"}, both, 1},
        {{"Built-in Audio Analog Stereo 2", "built-in audio analog stereo"}, chosen, std::nullopt},
        {{"Mic", "Built-in Audio Analog Stereo"}, none, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ovistra::ChooseAudioInput(c.names, c.preference), c.taken)
            << ::testing::PrintToString(c.names) << " device=" << c.preference.deviceName
            << " chosen=" << c.preference.chosenName;
    }
}

TEST(AudioInput, TheLineInputIsRecordedBesidePicturesOfUnchangedLength) {
    gst_init(nullptr, nullptr);
    QTemporaryDir dir;
    for (const bool sound : {true, false}) {
        SCOPED_TRACE(sound ? "with sound" : "silent");
        StaticAudioInputList inputs;  // sources left as made: the branch makes them live
        inputs.Add(Named(sound ? "Mic" : "HDMI Output", "audiotestsrc"));
        inputs.Add(Named(sound ? "Line in" : "Mic", "audiotestsrc"));
        bool withSound = false;
        const QString path = dir.filePath(sound ? "sound.avi" : "silent.avi");
        EXPECT_TRUE(Record(path, inputs, &withSound));
        EXPECT_EQ(withSound, sound);
        const ovistra::testing::FileFacts facts = ovistra::testing::Inspect(path);
        EXPECT_EQ(facts.width, 640);
        EXPECT_EQ(facts.height, 480);
        EXPECT_DOUBLE_EQ(facts.fps, 25.0);
        EXPECT_EQ(facts.audioStreams, sound ? 1 : 0);
        EXPECT_NEAR(facts.seconds, 2.0, 0.1);
    }
}

TEST(AudioInput, AnInputThatCannotBeRecordedLeavesThePipelineAsItWas) {
    gst_init(nullptr, nullptr);
    const struct {
        const char* encoder;
        std::function<GstElement*()> makeElement;
    } cases[] = {
        {"no-such-encoder", Named("", "audiotestsrc").makeElement},
        {ovistra::kAudioEncoder, [] { return static_cast<GstElement*>(nullptr); }},
        {ovistra::kAudioEncoder, Named("", "filesrc location=/nonexistent/line-in").makeElement},
        {ovistra::kAudioEncoder, Named("", "videotestsrc").makeElement},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        StaticAudioInputList inputs;
        inputs.Add({"Line in", c.makeElement});
        GstElement* pipeline = RecorderPipeline(dir.filePath("unused.avi"));
        GstElement* mux = Child(pipeline, "mux");
        EXPECT_FALSE(ovistra::AddAudioBranch(GST_BIN(pipeline), mux, inputs, c.encoder));
        EXPECT_EQ(GST_BIN(pipeline)->numchildren, 5);
        EXPECT_EQ(mux->numsinkpads, 1);
        gst_object_unref(pipeline);
    }
}

}  // namespace
