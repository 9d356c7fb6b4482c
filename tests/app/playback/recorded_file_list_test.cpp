// The playback dialog's rows and what it says about them: the information text's lines, and
// deleting a recording with the files of its set, never one still being written.
#include "recorded_file_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "recording_list.h"

namespace ovistra {
namespace {

const InfoTexts kTexts{"File", "Size", "Start", "End", "Length", "h", "min", "s"};

RecordInfo Entry(const QString& path, int32_t lastIndex) {
    RecordInfo entry;
    entry.path = path;
    entry.camera = "2";
    entry.kind = "Manual";
    entry.startDate = "26/12/08";
    entry.startTime = "14:29:59";
    entry.endDate = "26/12/08";
    entry.endTime = "15:31:10";
    entry.lastIndex = lastIndex;
    return entry;
}

TEST(InformationText, NamesTheFileItsPlaceInTheSetAndTheLengthPlayed) {
    const struct {
        int32_t lastIndex;
        int setPosition;
        double seconds;
        const char* firstLine;
        const char* lengthLine;
    } cases[] = {
        {0, 0, 65.4, "File : a.avi", "Length :  0 h; 1 min; 5 s"},
        {4, 2, 3725, "File : a.avi  (The 3rd circular REC file)", "Length :  1 h; 2 min; 5 s"},
        {20, 10, -1, "File : a.avi  (The 11st circular REC file)", "Length :  0 h; 0 min; 0 s"},
        {20, 11, 0, "File : a.avi  (The 12nd circular REC file)", "Length :  0 h; 0 min; 0 s"},
    };
    for (const auto& c : cases) {
        const QStringList lines = InformationText(kTexts, Entry("/r/b.avi", c.lastIndex),
                                                  c.setPosition, "/r/a.avi", 1572864, c.seconds)
                                      .split('\n');
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[0], c.firstLine);
        EXPECT_EQ(lines[1], "Size         : 1.500 MB");
        EXPECT_EQ(lines[2], "Start : 26/12/08; 14:29:59");
        EXPECT_EQ(lines[3], "End : 26/12/08; 15:31:10");
        EXPECT_EQ(lines[4], c.lengthLine);
    }
}

class RecordedFileListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list = std::make_unique<RecordingList>(program.path() + "/");
        for (const char* name :
             {"a.avi", "a1.avi", "a2.avi", "a3.avi", "a4.avi", "b.avi", "b1.avi", "c.avi"}) {
            QFile(Path(name)).open(QIODevice::WriteOnly);
        }
        list->entries() = {Entry(Path("a.avi"), 3), Entry(Path("b.avi"), 0),
                           Entry(Path("c.avi"), 0)};
    }
    QString Path(const char* name) const { return record.filePath(name); }
    QStringList Left() const { return QDir(record.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir program, record;
    std::unique_ptr<RecordingList> list;
    QString writing;
};

TEST_F(RecordedFileListTest, DeletingARecordingTakesItsSetUpToTheLastIndexAndItsEntry) {
    RecordedFileList rows(*list, [this](const QString& path) { return path == writing; });
    rows.Fill({});
    ASSERT_EQ(rows.rows().size(), 3u);
    EXPECT_EQ(rows.Delete(0), RecordedFileList::Removal::Removed);
    // a4.avi lies past the last index and b1.avi belongs to no set: both stay.
    EXPECT_EQ(Left(), (QStringList{"a4.avi", "b.avi", "b1.avi", "c.avi"}));
    ASSERT_EQ(list->entries().size(), 2u);
    EXPECT_EQ(list->entries()[0].path, Path("b.avi"));
    EXPECT_EQ(rows.rows().front().path, Path("b.avi"));
    EXPECT_EQ(rows.Delete(5), RecordedFileList::Removal::NoSuchRow);
}

TEST_F(RecordedFileListTest, ARecordingStillBeingWrittenStaysWhole) {
    writing = Path("b.avi");
    RecordedFileList rows(*list, [this](const QString& path) { return path == writing; });
    rows.Fill({});
    EXPECT_EQ(rows.Delete(1), RecordedFileList::Removal::StillRecording);
    EXPECT_TRUE(QFile::exists(Path("b.avi")));
    EXPECT_EQ(list->entries().size(), 3u);
    EXPECT_EQ(rows.rows().size(), 3u);
}

TEST_F(RecordedFileListTest, ForgettingARowLeavesEveryFile) {
    RecordedFileList rows(*list, {});
    rows.Fill({});
    rows.Forget(0);
    EXPECT_EQ(Left().size(), 8);
    EXPECT_EQ(list->entries().size(), 2u);
    ASSERT_TRUE(rows.Save());
    RecordingList reloaded(program.path() + "/");
    reloaded.Load();
    EXPECT_EQ(reloaded.entries().size(), 2u);
}

}  // namespace
}  // namespace ovistra
