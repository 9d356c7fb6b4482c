// Video files as inputs of the simulated device: clips made here with GStreamer, played apart
// from the capture pipeline, looped, refused when they hold no video, and a damaged one that
// harms only its own input.
#include "sim_file_input.h"

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim_device.h"
#include "yuy2_to_rgb24.h"

namespace {

using namespace ovistra::media;
namespace fs = std::filesystem;

using Frame = std::vector<uint8_t>;

class SimFileInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ovistra-sim-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Runs `description` (with FILE standing for the output path) to its end.
    std::string Make(const std::string& name, std::string description) {
        const std::string path = (folder_ / name).string();
        description.replace(description.find("FILE"), 4, "\"" + path + "\"");
        GError* error = nullptr;
        GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
        EXPECT_NE(pipeline, nullptr) << (error != nullptr ? error->message : "");
        g_clear_error(&error);
        if (pipeline == nullptr) {
            return path;
        }
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        EXPECT_NE(message, nullptr);
        if (message != nullptr) {
            EXPECT_EQ(GST_MESSAGE_TYPE(message), GST_MESSAGE_EOS) << description;
            gst_message_unref(message);
        }
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return path;
    }

    // A clip of `frames` MJPEG pictures of one colour (0xAARRGGBB) in AVI.
    std::string SolidClip(const std::string& name, uint32_t argb, int frames) {
        return Make(name, "videotestsrc num-buffers=" + std::to_string(frames) +
                              " pattern=solid-color foreground-color=" + std::to_string(argb) +
                              " ! video/x-raw,width=320,height=240,framerate=25/1 ! videoconvert"
                              " ! jpegenc ! avimux ! filesink location=FILE");
    }

    fs::path folder_;
};

// Mean blue, green, red over the middle of a picture.
std::array<int, 3> MeanBgr(const Frame& frame) {
    std::vector<uint8_t> bgr(size_t{kFrameWidth} * 3);
    std::array<int64_t, 3> sum{};
    int pixels = 0;
    for (int line = 120; line < 360; line += 8) {
        ovistra::Yuy2ToRgb24(bgr.data(), frame.data() + size_t(line) * kFrameStride,
                             kFrameWidth / 2, 1, 0, 0);
        for (int x = 160; x < 480; ++x) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += bgr[size_t(x) * 3 + c];
            }
            ++pixels;
        }
    }
    return {int(sum[0] / pixels), int(sum[1] / pixels), int(sum[2] / pixels)};
}

bool ShowsGreen(const Frame& frame) {
    const auto [blue, green, red] = MeanBgr(frame);
    return green > 200 && blue < 60 && red < 60;
}

// Waits (at most 3 s) until `input` has decoded more than `count` pictures.
bool DecodedMoreThan(const SimFileInput& input, uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (input.PicturesDecoded() <= count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return input.PicturesDecoded() > count;
}

// Waits (at most 3 s) until `input` has decoded nothing for a quarter of a second.
uint64_t DecodingStopped(const SimFileInput& input) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    uint64_t count = input.PicturesDecoded();
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const uint64_t now = input.PicturesDecoded();
        if (now == count) {
            break;
        }
        count = now;
    }
    return count;
}

Frame Latest(const SimFileInput& input) {
    Frame frame(kFrameBytes);
    input.CopyLatest(frame.data(), 0);
    return frame;
}

TEST_F(SimFileInputTest, AClipIsShownOnItsInput) {
    std::string error;
    auto input = SimFileInput::Open(SolidClip("green.avi", 0xFF00FF00u, 30), &error);
    ASSERT_NE(input, nullptr) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_GE(input->PicturesDecoded(), 1u);
    EXPECT_TRUE(ShowsGreen(Latest(*input))) << "the first picture is there at once";

    SimDeviceConfig config;
    config.settleMs = 0;
    config.files[1] = input;
    auto device = std::make_shared<SimulatedDevice>(config);
    device->StartInputs();
    const uint8_t second = 1;
    ASSERT_TRUE(device->WriteI2c(kDecoderAddress, kDecoderInputRegister, &second, 1));
    Frame frame(kFrameBytes);
    for (int i = 0; i < 5; ++i) {
        device->RenderFrame(frame.data(), i * 40000000);
        EXPECT_TRUE(ShowsGreen(frame)) << "frame " << i;
    }
    // The other inputs keep their scenes.
    const uint8_t first = 0;
    ASSERT_TRUE(device->WriteI2c(kDecoderAddress, kDecoderInputRegister, &first, 1));
    device->RenderFrame(frame.data(), 0);
    EXPECT_EQ(SimulatedDevice::CameraShownIn(frame.data()), 1);
    device->StopInputs();
}

TEST_F(SimFileInputTest, AFileInputRollsAfterAnInputChangeToo) {
    std::string error;
    auto input = SimFileInput::Open(SolidClip("green.avi", 0xFF00FF00u, 5), &error);
    ASSERT_NE(input, nullptr) << error;
    SimDeviceConfig config;
    config.settleMs = 10000;
    config.files[3] = input;
    SimulatedDevice device(config);
    const uint8_t fourth = 3;
    ASSERT_TRUE(device.WriteI2c(kDecoderAddress, kDecoderInputRegister, &fourth, 1));
    Frame frame(kFrameBytes);
    device.RenderFrame(frame.data(), 0);
    Frame latest = Latest(*input);
    int64_t sum = 0;
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        sum += std::abs(frame[i] - latest[i]);
    }
    EXPECT_GT(sum / (kFrameBytes / 2), 20);
    device.SetSettleMs(0);
    device.RenderFrame(frame.data(), 0);
    SimulatedDevice::MarkInput(latest.data(), fourth);
    EXPECT_EQ(frame, latest);
}

TEST_F(SimFileInputTest, AClipStartsAgainAtItsEnd) {
    std::string error;
    auto input = SimFileInput::Open(SolidClip("short.avi", 0xFF00FF00u, 8), &error);
    ASSERT_NE(input, nullptr) << error;
    input->Start();
    // 8 pictures last 0.32 s: more than 14 means the clip ran more than once.
    EXPECT_TRUE(DecodedMoreThan(*input, 14));
    EXPECT_FALSE(input->Failed()) << input->LastError();
    EXPECT_TRUE(ShowsGreen(Latest(*input)));
    input->Stop();
}

TEST_F(SimFileInputTest, AClipWithSoundPlaysItsPictures) {
    const std::string path =
        Make("sound.avi",
             "avimux name=mux ! filesink location=FILE "
             "videotestsrc num-buffers=25 pattern=solid-color foreground-color=4278255360 ! "
             "video/x-raw,width=320,height=240,framerate=25/1 ! videoconvert ! jpegenc ! mux. "
             "audiotestsrc num-buffers=25 samplesperbuffer=1764 ! "
             "audio/x-raw,format=S16LE,rate=44100,channels=1 ! mux.");
    std::string error;
    auto input = SimFileInput::Open(path, &error);
    ASSERT_NE(input, nullptr) << error;
    input->Start();
    EXPECT_TRUE(DecodedMoreThan(*input, 3));
    EXPECT_TRUE(ShowsGreen(Latest(*input)));
    EXPECT_FALSE(input->Failed()) << input->LastError();
}

TEST_F(SimFileInputTest, FilesWithoutPicturesAreRefusedWithOneLine) {
    {
        std::ofstream text(folder_ / "notes.txt");
        text << "These are not pictures.\nNot at all.\n";
    }
    const std::string wav =
        Make("tone.wav", "audiotestsrc num-buffers=20 ! wavenc ! filesink location=FILE");
    const std::string empty = (folder_ / "empty.avi").string();
    std::ofstream{empty};
    struct Case {
        std::string path;
    };
    const Case cases[] = {
        {(folder_ / "missing.avi").string()},
        {(folder_ / "notes.txt").string()},
        {wav},
        {empty},
        {folder_.string()},  // a folder
        {""},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(SimFileInput::Open(c.path, &error), nullptr) << c.path;
        EXPECT_FALSE(error.empty()) << c.path;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(SimFileInput::Open((folder_ / "missing.avi").string(), nullptr), nullptr);
}

TEST_F(SimFileInputTest, AnUnreadableFileIsRefused) {
    const std::string path = SolidClip("locked.avi", 0xFF00FF00u, 5);
    fs::permissions(path, fs::perms::none);
    std::ifstream probe(path);
    if (probe.is_open()) {
        GTEST_SKIP() << "running with rights that read any file";
    }
    std::string error;
    EXPECT_EQ(SimFileInput::Open(path, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(SimFileInputTest, ADecodingErrorStopsTheInputOnItsLastPicture) {
    // Colour bars that move: every picture differs from the one before.
    const std::string path =
        Make("ball.avi",
             "videotestsrc num-buffers=50 pattern=ball ! video/x-raw,width=320,height=240,"
             "framerate=25/1 ! videoconvert ! jpegenc ! avimux ! filesink location=FILE");
    std::string error;
    auto input = SimFileInput::Open(path, &error);
    ASSERT_NE(input, nullptr) << error;
    SimDeviceConfig config;
    config.settleMs = 0;
    config.files[0] = input;
    SimulatedDevice device(config);
    device.StartInputs();
    EXPECT_TRUE(DecodedMoreThan(*input, 3));

    input->PostErrorForTesting("Damaged stretch.");
    EXPECT_TRUE(input->Failed());
    EXPECT_EQ(input->LastError(), "Damaged stretch.");
    const uint64_t stopped = DecodingStopped(*input);
    Frame kept = Latest(*input);
    SimulatedDevice::MarkInput(kept.data(), 0);
    device.StopInputs();
    device.StartInputs();  // no restart after an error
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(input->PicturesDecoded(), stopped);
    Frame frame(kFrameBytes);
    device.RenderFrame(frame.data(), 0);
    EXPECT_EQ(frame, kept) << "the last good picture stays";

    const uint8_t second = 1;
    ASSERT_TRUE(device.WriteI2c(kDecoderAddress, kDecoderInputRegister, &second, 1));
    device.RenderFrame(frame.data(), 0);
    EXPECT_EQ(SimulatedDevice::CameraShownIn(frame.data()), 2);
    device.StopInputs();
}

TEST_F(SimFileInputTest, ADamagedClipHarmsOnlyItsInput) {
    const std::string path =
        Make("damaged.avi",
             "videotestsrc num-buffers=75 pattern=smpte ! video/x-raw,width=320,height=240,"
             "framerate=25/1 ! videoconvert ! jpegenc ! avimux ! filesink location=FILE");
    {
        // Garbage over the middle 40% of the file.
        const auto size = fs::file_size(path);
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size * 3 / 10));
        std::mt19937 random(7);
        for (uintmax_t i = 0; i < size * 4 / 10; ++i) {
            file.put(static_cast<char>(random()));
        }
    }
    std::string error;
    auto input = SimFileInput::Open(path, &error);
    ASSERT_NE(input, nullptr) << error;

    SimDeviceConfig config;
    config.settleMs = 0;
    config.files[2] = input;
    auto device = std::make_shared<SimulatedDevice>(config);
    device->StartInputs();
    Frame frame(kFrameBytes);
    const auto start = std::chrono::steady_clock::now();
    int rendered = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2500)) {
        const auto elapsedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        for (const uint8_t input_ : {0, 2, 3}) {
            ASSERT_TRUE(device->WriteI2c(kDecoderAddress, kDecoderInputRegister, &input_, 1));
            device->RenderFrame(frame.data(), elapsedNs);
            if (input_ != 2) {
                ASSERT_EQ(SimulatedDevice::CameraShownIn(frame.data()), input_ + 1);
            } else {
                // Colour bars: far from black.
                const auto [blue, green, red] = MeanBgr(frame);
                ASSERT_GT(blue + green + red, 150);
            }
        }
        ++rendered;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    EXPECT_GT(rendered, 20);
    EXPECT_GE(input->PicturesDecoded(), 2u);
    if (input->Failed()) {
        EXPECT_FALSE(input->LastError().empty());
    }
    device->StopInputs();
}

}  // namespace
