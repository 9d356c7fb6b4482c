// Repairing recordings whose writer never finished: a clip the media framework wrote, made to
// look as a killed writer leaves it, then cut at the places a crash can cut it. The framework's
// own index of the finished clip says what each repair must keep.
#include "avi_repair.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>

#include "file_bytes.h"
#include "recorded_file.h"
#include "recording_control.h"
#include "recording_recovery.h"
#include "test_clip.h"

namespace ovistra {
namespace {

uint32_t U32(const QByteArray& bytes, qsizetype at) {
    uint32_t value = 0;
    if (at >= 0 && at + 4 <= bytes.size()) {
        std::memcpy(&value, bytes.constData() + at, 4);
    }
    return value;
}

void SetU32(QByteArray& bytes, qsizetype at, uint32_t value) {
    if (at >= 0 && at + 4 <= bytes.size()) {
        std::memcpy(bytes.data() + at, &value, 4);
    }
}

std::optional<AviLayout> Layout(const QByteArray& bytes) {
    return ScanAvi(static_cast<uint64_t>(bytes.size()),
                   [&bytes](uint64_t offset, void* into, size_t n) {
                       if (offset > uint64_t(bytes.size()) || n > bytes.size() - offset) {
                           return false;
                       }
                       std::memcpy(into, bytes.constData() + offset, n);
                       return true;
                   },
                   nullptr);
}

using testsupport::ReadAll;
using testsupport::WriteAll;

// A disk that refuses writing for a while: writes past `bytes` from a file's start fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    void (*handler_)(int);
    rlimit previous_{};
};

struct FrameworkChunk {
    uint64_t end;  // just past the chunk's data, from the file's start
    bool video;
    bool key;
    uint32_t size;
};

class AviRepair : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing::MakeClip(dir.filePath("clip.avi").toStdString(), 50, true));
        finished = ReadAll(dir.filePath("clip.avi"));
        const std::optional<AviLayout> layout = Layout(finished);
        ASSERT_TRUE(layout && layout->complete);
        moviType = layout->moviOffset + 8;
        // The framework's index: 16 bytes per chunk after the "idx1" header.
        const qsizetype idx1 = finished.lastIndexOf("idx1");
        ASSERT_GT(idx1, 0);
        for (qsizetype at = idx1 + 8; at + 16 <= finished.size(); at += 16) {
            const uint32_t id = U32(finished, at);
            const uint64_t header = U32(finished, at + 8);  // from the file's start
            const uint32_t size = U32(finished, at + 12);
            chunks.push_back({header + 8 + size + (size & 1),
                              (id >> 16) == ('d' | 'c' << 8) || (id >> 16) == ('d' | 'b' << 8),
                              (U32(finished, at + 4) & 0x10) != 0, size});
        }
        // As a killed writer leaves it: no index, sizes and counts still zero.
        crashed = finished.left(idx1);
        SetU32(crashed, 4, 0);
        SetU32(crashed, layout->moviOffset + 4, 4);
        SetU32(crashed, layout->avihOffset + 16, 0);
        for (const AviStream& s : layout->streams) {
            SetU32(crashed, s.strhOffset + 32, 0);
        }
    }

    int VideoChunksEndingBy(uint64_t cut) const {
        int frames = 0;
        for (const FrameworkChunk& c : chunks) {
            frames += c.video && c.end <= cut ? 1 : 0;
        }
        return frames;
    }
    double SoundSecondsEndingBy(uint64_t cut) const {
        uint64_t bytes = 0;
        for (const FrameworkChunk& c : chunks) {
            bytes += !c.video && c.end <= cut ? c.size : 0;
        }
        // The clip holds two seconds of sound.
        return 2.0 * double(bytes) / double(SoundBytes());
    }
    uint64_t SoundBytes() const {
        uint64_t bytes = 0;
        for (const FrameworkChunk& c : chunks) {
            bytes += c.video ? 0 : c.size;
        }
        return bytes;
    }

    QTemporaryDir dir;
    QByteArray finished;
    QByteArray crashed;
    uint64_t moviType = 0;
    std::vector<FrameworkChunk> chunks;
};

TEST_F(AviRepair, ACutAnywhereInTheDataKeepsEveryCompleteChunkAndPlays) {
    ASSERT_GE(chunks.size(), 20u);
    const FrameworkChunk& late = chunks[chunks.size() - 5];
    const uint64_t lateStart = chunks[chunks.size() - 6].end;
    struct Cut {
        const char* name;
        uint64_t at;
    };
    for (const Cut cut :
         {Cut{"whole", uint64_t(crashed.size())}, Cut{"inside a chunk header", lateStart + 3},
          Cut{"inside chunk data", (lateStart + 8 + late.end) / 2},
          Cut{"after a complete chunk", late.end}}) {
        SCOPED_TRACE(cut.name);
        const QString path = dir.filePath(QStringLiteral("cut.avi"));
        ASSERT_TRUE(WriteAll(path, crashed.left(static_cast<qsizetype>(cut.at))));
        const AviRepairResult result = RepairAviFile(path);
        ASSERT_EQ(result.outcome, AviRepairResult::Outcome::Repaired) << result.why.toStdString();
        const int frames = VideoChunksEndingBy(cut.at);
        EXPECT_NEAR(result.seconds, frames / 25.0, 1e-9);

        const QByteArray repaired = ReadAll(path);
        const std::optional<AviLayout> after = Layout(repaired);
        ASSERT_TRUE(after && after->complete);
        EXPECT_EQ(after->VideoFrames(), static_cast<uint32_t>(frames));
        EXPECT_EQ(U32(repaired, 4), static_cast<uint32_t>(repaired.size() - 8));
        EXPECT_EQ(U32(repaired, after->avihOffset + 16), static_cast<uint32_t>(frames));
        // Key pictures are found where the framework marked them.
        size_t video = 0;
        for (const AviIndexEntry& entry : after->index) {
            while (video < chunks.size() && !chunks[video].video) {
                ++video;
            }
            if ((entry.fourcc >> 16) != ('w' | 'b' << 8) && video < chunks.size()) {
                EXPECT_EQ((entry.flags & 0x10) != 0, chunks[video].key) << video;
                ++video;
            }
        }
        const testing::FileFacts facts = testing::Inspect(path);
        // The player's length is the longer stream's; the sound runs ahead of the pictures.
        EXPECT_NEAR(facts.seconds, std::max(frames / 25.0, SoundSecondsEndingBy(cut.at)), 0.05);
        EXPECT_EQ(facts.width, 320);
    }
}

TEST_F(AviRepair, WhatCannotBeRepairedIsLeftAsItWas) {
    struct Case {
        const char* name;
        QByteArray bytes;
        AviRepairResult::Outcome outcome;
    };
    const uint64_t moviData = moviType + 4;
    for (const Case& c :
         {Case{"finished", finished, AviRepairResult::Outcome::AlreadyComplete},
          Case{"empty data list", crashed.left(static_cast<qsizetype>(moviData)),
               AviRepairResult::Outcome::Unrepairable},
          Case{"header only", crashed.left(100), AviRepairResult::Outcome::Unrepairable},
          Case{"no bytes", QByteArray(), AviRepairResult::Outcome::Unrepairable},
          Case{"not AVI", QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16),
               AviRepairResult::Outcome::Unrepairable}}) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("left.avi"));
        ASSERT_TRUE(WriteAll(path, c.bytes));
        const AviRepairResult result = RepairAviFile(path);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(ReadAll(path), c.bytes);
    }
    EXPECT_EQ(RepairAviFile(dir.filePath("missing.avi")).outcome,
              AviRepairResult::Outcome::Unrepairable);
}

TEST_F(AviRepair, OpenEntriesAreCompletedRepairedOrKeptAside) {
    RecordingList list(dir.path() + "/");
    const QString good = dir.filePath("good.avi"), bad = dir.filePath("bad.avi");
    ASSERT_TRUE(WriteAll(good, crashed));
    ASSERT_TRUE(WriteAll(bad, QByteArray(5000, 'x')));
    ASSERT_TRUE(WriteAll(bad + ".bad", "an earlier one"));
    RecordInfo open{good, "1", "k", "s", "26/12/09", "23:59:59"};
    RecordInfo lost{bad, "2", "k", "s", "26/12/09", "10:00:00"};
    RecordInfo done{
        dir.filePath("done.avi"), "3", "k", "s", "26/12/09", "09:00:00", "26/12/09", "09:30:00"};
    list.entries() = {open, lost, done};

    const std::vector<RecoveredRecording> recovered = RecoverOpenRecordings(list);
    ASSERT_EQ(recovered.size(), 2u);
    EXPECT_EQ(recovered[0].fate, RecoveredRecording::Fate::Repaired);
    EXPECT_EQ(recovered[0].seconds, 2);
    EXPECT_EQ(recovered[1].fate, RecoveredRecording::Fate::Lost);
    EXPECT_EQ(recovered[1].camera, "2");
    EXPECT_EQ(recovered[1].why, "not an AVI file");

    RecordingList reloaded(dir.path() + "/");
    reloaded.Load();
    ASSERT_EQ(reloaded.entries().size(), 3u);
    // Past midnight: the end carries into the next day.
    EXPECT_EQ(reloaded.entries()[0].endDate, "26/12/10");
    EXPECT_EQ(reloaded.entries()[0].endTime, "00:00:01");
    EXPECT_EQ(reloaded.entries()[1].endDate, "26/12/09");
    EXPECT_EQ(reloaded.entries()[1].endTime, "10:00:00");
    EXPECT_EQ(reloaded.entries()[2], done);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(ReadAll(bad + ".bad"), "an earlier one");
    EXPECT_EQ(ReadAll(bad + ".bad.2"), QByteArray(5000, 'x'));
}

TEST_F(AviRepair, AnEntryWhoseFileCannotBeWrittenNowStaysOpenForTheNextStart) {
    struct Case {
        const char* name;
        QByteArray first;
        QByteArray follower;  // none when empty
    };
    for (const Case& c : {Case{"the first file", crashed + QByteArray(7, 'x'), {}},
                          Case{"a follower", finished, crashed}}) {
        SCOPED_TRACE(c.name);
        const QString first = dir.filePath("set.avi");
        const QString follower = RecordingControl::CircularFileName(first, 1);
        QFile::remove(follower);
        ASSERT_TRUE(WriteAll(first, c.first));
        if (!c.follower.isEmpty()) {
            ASSERT_TRUE(WriteAll(follower, c.follower));
        }
        RecordingList list(dir.path() + "/");
        list.entries() = {RecordInfo{first, "4", "k", "s", "26/12/09", "12:00:00"}};
        {
            const FileSizeLimit full(4096);
            const std::vector<RecoveredRecording> refused = RecoverOpenRecordings(list);
            ASSERT_EQ(refused.size(), 1u);
            EXPECT_EQ(refused[0].fate, RecoveredRecording::Fate::Later);
            EXPECT_TRUE(list.entries()[0].StillRecording());
        }
        EXPECT_TRUE(QFile::exists(first));
        EXPECT_FALSE(QFile::exists(first + ".bad"));

        const std::vector<RecoveredRecording> later = RecoverOpenRecordings(list);
        ASSERT_EQ(later.size(), 1u);
        EXPECT_EQ(later[0].fate, RecoveredRecording::Fate::Repaired);
        EXPECT_EQ(later[0].seconds, c.follower.isEmpty() ? 2 : 4);
        EXPECT_EQ(list.entries()[0].endTime, c.follower.isEmpty() ? "12:00:02" : "12:00:04");
        EXPECT_NEAR(testing::Inspect(c.follower.isEmpty() ? first : follower).seconds, 2, 0.1);
    }
}

}  // namespace
}  // namespace ovistra
