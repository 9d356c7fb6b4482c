// A listed recording's files: the circular followers that exist up to the last index, whatever
// the index says (all of them while it is being written), and the ordinal of a set's file.
#include "recording_files.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace ovistra {
namespace {

TEST(RecordingFiles, FollowersThatExistUpToTheLastIndexInOrder) {
    QTemporaryDir dir;
    const QString base = dir.filePath("261208_143000.avi");
    for (const char* name :
         {"261208_143000.avi", "261208_1430001.avi", "261208_1430002.avi", "261208_1430003.avi",
          "261208_14300012.avi", "261208_14300001.avi", "261208_1430004.bmp", "other1.avi"}) {
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    }
    auto files = [&](const QString& path, int32_t lastIndex, bool running = false) {
        RecordInfo entry;
        entry.path = path;
        entry.endDate = running ? RecordInfo::kRecordingEndDate : "26/12/08";
        entry.lastIndex = lastIndex;
        QStringList names;
        for (const QString& file : RecordingFiles(entry)) {
            names << QFileInfo(file).fileName();
        }
        return names;
    };
    EXPECT_EQ(files(base, 0), QStringList{"261208_143000.avi"});
    EXPECT_EQ(files(base, 3), (QStringList{"261208_143000.avi", "261208_1430001.avi",
                                           "261208_1430002.avi", "261208_1430003.avi"}));
    // A damaged index reaches only the followers there are.
    EXPECT_EQ(files(base, INT32_MAX).size(), 5);
    EXPECT_EQ(files(base, -7), QStringList{"261208_143000.avi"});
    // A set still being written has no last index yet: every follower there is counts.
    EXPECT_EQ(files(base, 0, true).size(), 5);
    QFile::remove(dir.filePath("261208_1430002.avi"));
    EXPECT_EQ(files(base, 3),
              (QStringList{"261208_143000.avi", "261208_1430001.avi", "261208_1430003.avi"}));
    EXPECT_EQ(files(dir.filePath("261208_143000.mp4"), 3), QStringList{"261208_143000.mp4"});
}

TEST(RecordingFiles, OrdinalsGoByTheLastDigitAlone) {
    const struct {
        int n;
        const char* ordinal;
    } cases[] = {{1, "st"}, {2, "nd"}, {3, "rd"}, {4, "th"}, {11, "st"}, {12, "nd"}, {20, "th"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CircularOrdinal(c.n), c.ordinal) << c.n;
    }
}

}  // namespace
}  // namespace ovistra
