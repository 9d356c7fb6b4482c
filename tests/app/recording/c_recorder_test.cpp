// The recorder writes AVI files that play: the right size, rate and length, pictures upright.
#include "c_recorder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>
#include <vector>

#include "recorded_file.h"

namespace {

using ovistra::CRecorder;
using ovistra::testing::FileFacts;
using ovistra::testing::Inspect;

constexpr size_t kFrameBytes = 614400;

// A YUY2 frame, white in its top half and black below.
std::vector<uint8_t> HalfWhiteFrame() {
    std::vector<uint8_t> frame(kFrameBytes);
    for (size_t i = 0; i < kFrameBytes; i += 2) {
        frame[i] = i < kFrameBytes / 2 ? 235 : 16;
        frame[i + 1] = 128;
    }
    return frame;
}

TEST(CRecorder, WritesPlayableUprightFilesWithEachEncoder) {
    gst_init(nullptr, nullptr);
    struct Case {
        std::string compressor;  // asked for
        std::string used;
        uint32_t intervalMs;
    };
    const Case cases[] = {
        {"", "avenc_mpeg4", 40},
        {"jpegenc", "jpegenc", 100},
        {"no-such-encoder", "avenc_mpeg4", 200},
    };
    QTemporaryDir dir;
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compressor);
        const QString path = dir.filePath(QString::fromStdString("rec-" + c.used) +
                                          QString::number(c.intervalMs) + ".avi");
        CRecorder recorder;
        recorder.SetFrameInterval(c.intervalMs);
        recorder.SetVideoCompressor(c.compressor);
        recorder.SetFileName(path);
        ASSERT_TRUE(recorder.BuildGraph());
        EXPECT_EQ(recorder.encoder(), c.used);
        ASSERT_TRUE(recorder.Run());
        const int samples = 10;
        for (int i = 0; i < samples; ++i) {
            // At the frame timer's pace; repeats fill the ticks without a new frame.
            recorder.PushFrame(frame.data(), i % 3 == 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(c.intervalMs));
        }
        recorder.Stop();
        const FileFacts facts = Inspect(path);
        EXPECT_EQ(facts.width, 640);
        EXPECT_EQ(facts.height, 480);
        EXPECT_NEAR(facts.fps, 1000.0 / c.intervalMs, 0.01);
        EXPECT_NEAR(facts.seconds, samples * c.intervalMs / 1000.0, c.intervalMs / 1000.0 + 0.01);
        EXPECT_GT(facts.topLuma, 200);
        EXPECT_LT(facts.bottomLuma, 40);
    }
}

TEST(CRecorder, APictureBeforeTheFirstFrameIsBlackAndANewFileStartsAtZero) {
    gst_init(nullptr, nullptr);
    QTemporaryDir dir;
    CRecorder recorder;
    recorder.SetFrameInterval(100);
    recorder.SetFileName(dir.filePath("first.avi"));
    ASSERT_TRUE(recorder.BuildGraph());
    ASSERT_TRUE(recorder.Run());
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    recorder.PushFrame(nullptr, false);  // the camera has no picture yet: black
    recorder.PushFrame(frame.data(), true);
    recorder.Stop();
    EXPECT_LT(Inspect(dir.filePath("first.avi")).topLuma, 40);

    EXPECT_TRUE(recorder.ChangeOutputFile(dir.filePath("second.avi")));
    ASSERT_TRUE(recorder.Run());
    for (int i = 0; i < 5; ++i) {
        recorder.PushFrame(frame.data(), false);  // the last picture again
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(recorder.ChangeOutputFile(dir.filePath("third.avi"))) << "only while stopped";
    recorder.Stop();
    const FileFacts second = Inspect(dir.filePath("second.avi"));
    EXPECT_GT(second.topLuma, 200);
    EXPECT_NEAR(second.seconds, 0.5, 0.11);
}

}  // namespace
