// The recorder writes AVI files that play: the right size, rate and length, pictures upright.
#include "c_recorder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "recorded_file.h"
#include "time_stamp.h"

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

    // Stopped before any tick: the file still holds a picture and plays.
    EXPECT_TRUE(recorder.ChangeOutputFile(dir.filePath("empty.avi")));
    ASSERT_TRUE(recorder.Run());
    recorder.Stop();
    const FileFacts empty = Inspect(dir.filePath("empty.avi"));
    EXPECT_EQ(empty.width, 640);
    EXPECT_GT(empty.topLuma, 200);
}

// Hides encoder factories from the registry while it lives.
class HiddenFactories {
public:
    explicit HiddenFactories(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), name)) {
                gst_registry_remove_feature(gst_registry_get(), feature);
                hidden_.push_back(feature);
            }
        }
    }
    ~HiddenFactories() {
        for (GstPluginFeature* feature : hidden_) {
            gst_registry_add_feature(gst_registry_get(), feature);
            gst_object_unref(feature);
        }
    }

private:
    std::vector<GstPluginFeature*> hidden_;
};

TEST(CRecorder, WithoutEncodersPicturesGoInRawAndTheStampInvertsExactlyItsTextPixels) {
    gst_init(nullptr, nullptr);
    QTemporaryDir dir;
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    ovistra::TimeStamp expected;
    expected.SetBitsPerPixel(24);
    std::vector<uint8_t> pictures[2];
    for (int stamped = 0; stamped < 2; ++stamped) {
        const QString path = dir.filePath(QStringLiteral("raw%1.avi").arg(stamped));
        // The second may turn during a push; then the text is not known and the push is redone.
        for (int attempt = 0; attempt < 3; ++attempt) {
            HiddenFactories hidden({"avenc_mpeg4", "jpegenc"});
            CRecorder recorder;
            recorder.SetFrameInterval(100);
            if (stamped) {
                recorder.EnableTimeStamp();
            }
            recorder.SetFileName(path);
            ASSERT_TRUE(recorder.BuildGraph());
            EXPECT_EQ(recorder.encoder(), "");
            ASSERT_TRUE(recorder.Run());
            const QDateTime before = QDateTime::currentDateTime();
            recorder.PushFrame(frame.data(), true);
            const QDateTime after = QDateTime::currentDateTime();
            recorder.PushFrame(frame.data(), false);
            recorder.Stop();
            expected.Update(before);
            if (ovistra::TimeStampText(before) == ovistra::TimeStampText(after)) {
                break;
            }
        }
        pictures[stamped] = ovistra::testing::FirstPicture(path, "BGR");
        ASSERT_EQ(pictures[stamped].size(), 640u * 480 * 3);
    }
    // Upright, and lossless apart from the stamp.
    EXPECT_GT(pictures[0][(20 * 640 + 320) * 3], 200);
    EXPECT_LT(pictures[0][(460 * 640 + 320) * 3], 40);
    const QImage& bits = expected.bitmap();
    ASSERT_FALSE(bits.isNull());
    int inverted = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool text = x < bits.width() && y < bits.height() && bits.pixelIndex(x, y) == 1;
            for (int c = 0; c < 3; ++c) {
                const size_t i = (size_t(y) * 640 + x) * 3 + c;
                const uint8_t plain = pictures[0][i];
                ASSERT_EQ(pictures[1][i], text ? uint8_t(~plain) : plain)
                    << "x " << x << " y " << y << " byte " << c;
            }
            inverted += text ? 1 : 0;
        }
    }
    EXPECT_GT(inverted, 50);
}

TEST(CRecorder, APushIntoAStalledWriterGivesUpWithinTwoFrameIntervals) {
    gst_init(nullptr, nullptr);
    QTemporaryDir dir;
    // A writer on a pipe nobody reads: the file writer blocks once the pipe is full.
    const std::string pipe = dir.filePath("stalled").toStdString();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    constexpr int kIntervalMs = 100;
    CRecorder recorder;
    recorder.SetFrameInterval(kIntervalMs);
    recorder.SetVideoCompressor("jpegenc");
    recorder.SetFileName(QString::fromStdString(pipe));
    ASSERT_TRUE(recorder.BuildGraph());
    ASSERT_TRUE(recorder.Run());
    const std::vector<uint8_t> frame = HalfWhiteFrame();
    auto longest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 30; ++i) {
        const auto start = std::chrono::steady_clock::now();
        recorder.PushFrame(frame.data(), true);
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
    }
    // It did wait (the writer was stalled), and never for more than two intervals.
    EXPECT_GE(longest, std::chrono::milliseconds(kIntervalMs / 2));
    EXPECT_LT(longest, std::chrono::milliseconds(2 * kIntervalMs));
    // Drained, the writer takes the end of the stream and the stop is orderly.
    std::thread drain([reader] {
        const int flags = fcntl(reader, F_GETFL);
        fcntl(reader, F_SETFL, flags & ~O_NONBLOCK);
        char chunk[65536];
        while (read(reader, chunk, sizeof chunk) > 0) {
        }
    });
    recorder.Stop();
    recorder.Teardown();
    drain.join();
    close(reader);
}

}  // namespace
