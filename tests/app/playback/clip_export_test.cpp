// Clips cut from recordings made like the recorder's (MPEG-4 with a key picture every ten
// seconds, raw sound), checked with ffprobe and played back through GStreamer.
#include "clip_export.h"

#include <gtest/gtest.h>

#include <gst/gst.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "clip_probe.h"
#include "events_until.h"

namespace ovistra {
namespace {

class ClipExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        ASSERT_TRUE(testing::MakeRecording(Path("rec.avi"), 30));
        // A circular set of two files: the second a copy of the first.
        ASSERT_TRUE(QFile::copy(Path("rec.avi"), Path("rec1.avi")));
    }
    static void TearDownTestSuite() { delete folder; }
    static QString Path(const QString& name) { return folder->filePath(name); }

    static QTemporaryDir* folder;
};

QTemporaryDir* ClipExportTest::folder = nullptr;

TEST_F(ClipExportTest, CutsFromTheKeyPictureBeforeTheStartToTheEndAndAcrossASetsFiles) {
    struct Case {
        const char* name;
        std::vector<ClipPiece> pieces;
        double seconds;  // from the key picture at or before the start
    };
    const Case cases[] = {
        // Key pictures at 0, 10 and 20 s: a start at 12 s opens on the one at 10 s.
        {"middle", {{Path("rec.avi"), 12.0, 22.0}}, 12.0},
        {"set", {{Path("rec.avi"), 25.0, std::nullopt}, {Path("rec1.avi"), 0.0, 5.0}}, 15.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = Path(QStringLiteral("clip-%1.avi").arg(c.name));
        const ClipResult result = WriteClip(c.pieces, out);
        ASSERT_TRUE(result.ok()) << FailureWord(result.failure).toStdString();
        EXPECT_NEAR(result.seconds, c.seconds, 0.05);

        const testing::ProbedClip probed = testing::Probe(out);
        ASSERT_TRUE(probed.read) << probed.error.toStdString();
        EXPECT_EQ(probed.videoCodec, "mpeg4");
        EXPECT_TRUE(probed.soundCodec.startsWith("pcm_"));  // the sound came along
        EXPECT_NEAR(probed.seconds, c.seconds, 0.1);
        EXPECT_EQ(probed.pictures, static_cast<int>(std::lround(c.seconds * 25)));
        EXPECT_TRUE(probed.firstPictureIsKey);
        QFile written(out);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll().contains("idx1"));  // the index players seek with
        EXPECT_TRUE(testing::PlaysToTheEnd(out));
    }
}

TEST_F(ClipExportTest, RefusesRangesOutsideTheRecordingAndDamagedFilesLeavingNoFile) {
    QFile damaged(Path("damaged.avi"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    QFile whole(Path("rec.avi"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    damaged.write(QByteArray(4096, '\x5a'));  // the header and index list are gone
    whole.seek(4096);
    damaged.write(whole.readAll());
    damaged.close();

    using F = ClipResult::Failure;
    struct Case {
        const char* name;
        std::vector<ClipPiece> pieces;
        F failure;
    };
    const Case cases[] = {
        {"end before start", {{Path("rec.avi"), 20.0, 10.0}}, F::Range},
        {"empty", {{Path("rec.avi"), 10.0, 10.0}}, F::Range},
        {"negative", {{Path("rec.avi"), -5.0, 10.0}}, F::Range},
        {"after the end", {{Path("rec.avi"), 40.0, 45.0}}, F::Range},
        {"no pieces", {}, F::Range},
        {"missing", {{Path("gone.avi"), 0.0, 5.0}}, F::Damaged},
        {"damaged", {{Path("damaged.avi"), 0.0, 5.0}}, F::Damaged},
        // The first file is written already when the second proves damaged.
        {"damaged second",
         {{Path("rec.avi"), 25.0, {}}, {Path("damaged.avi"), 0.0, 5.0}},
         F::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = Path("refused.avi");
        const ClipResult result = WriteClip(c.pieces, out);
        EXPECT_EQ(result.failure, c.failure) << FailureWord(result.failure).toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    EXPECT_TRUE(QFile::exists(Path("rec.avi")));
    EXPECT_TRUE(testing::PlaysToTheEnd(Path("rec.avi")));
}

TEST_F(ClipExportTest, WritesOnAThreadOfItsOwnOneClipAtATimeAndReportsBackQueued) {
    ClipExport exporter;
    std::vector<ClipResult> results;
    const auto done = [&](const ClipResult& result) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        results.push_back(result);
    };
    ASSERT_TRUE(exporter.Start({{Path("rec.avi"), 1.0, 3.0}}, Path("async.avi"), done));
    EXPECT_TRUE(exporter.busy());
    EXPECT_FALSE(exporter.Start({{Path("rec.avi"), 1.0, 3.0}}, Path("second.avi"), done));
    EXPECT_TRUE(results.empty());  // never called from within Start
    testsupport::RunEventsUntil([&results] { return !results.empty(); }, 10000);
    ASSERT_EQ(results.size(), 1U);
    EXPECT_TRUE(results[0].ok()) << FailureWord(results[0].failure).toStdString();
    EXPECT_NEAR(results[0].seconds, 3.0, 0.05);
    EXPECT_FALSE(exporter.busy());
    EXPECT_FALSE(QFile::exists(Path("second.avi")));

    // One going away while it writes takes its file along and never reports.
    {
        ClipExport leaving;
        ASSERT_TRUE(leaving.Start({{Path("rec.avi"), 0.0, {}}, {Path("rec1.avi"), 0.0, {}}},
                                  Path("left.avi"), done));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(results.size(), 1U);
    EXPECT_FALSE(QFile::exists(Path("left.avi")));
}

}  // namespace
}  // namespace ovistra
