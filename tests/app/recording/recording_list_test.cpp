// "fileinfo.dat": its bytes, damaged files, large lists and rewrites that never lose the list.
#include "recording_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "recording_list_format.h"

namespace {

using ovistra::ParseRecordingList;
using ovistra::RecordInfo;
using ovistra::RecordingList;
using ovistra::SerializeRecordingList;

RecordInfo Entry(QString path, int camera) {
    RecordInfo e;
    e.path = std::move(path);
    e.camera = QString::number(camera);
    e.kind = "Hand";
    e.stamp = "Stamp";
    e.startDate = "26/12/08";
    e.startTime = "06:30:00";
    return e;
}

// One string as the archive writes it, by hand.
QByteArray ArchiveString(const QByteArray& bytes) {
    QByteArray out;
    if (bytes.size() < 255) {
        out.append(char(bytes.size()));
    } else {
        out.append(char(0xFF));
        out.append(char(bytes.size() & 0xFF));
        out.append(char(bytes.size() >> 8));
    }
    return out + bytes;
}

TEST(RecordingListFormat, MatchesTheArchivesBytesExactly) {
    const QByteArray longPath = "/videos/" + QByteArray(292, 'x');  // 300 bytes
    RecordInfo first = Entry("/videos/Camera1/261208_063000.avi", 1);
    RecordInfo second = Entry(QString::fromUtf8(longPath), 4);
    second.endDate = "26/12/08";
    second.endTime = "07:00:00";
    second.lastIndex = 4;
    second.lastFileLength = 2;

    QByteArray expected("\x02\x00", 2);
    for (const RecordInfo* e : {&first, &second}) {
        for (const QString* text : {&e->path, &e->camera, &e->kind, &e->stamp, &e->startDate,
                                    &e->startTime, &e->endDate, &e->endTime}) {
            expected += ArchiveString(text->toUtf8());
        }
        expected.append(char(e->lastIndex)).append(3, '\0');
        expected.append(char(e->lastFileLength)).append(3, '\0');
    }
    ASSERT_EQ(SerializeRecordingList({first, second}), expected);
    EXPECT_EQ(expected.mid(2, 1), QByteArray("\x21"));  // 33-byte path, one length byte
    const auto parsed = ParseRecordingList(expected);
    EXPECT_FALSE(parsed.damaged);
    EXPECT_EQ(parsed.entries, (std::vector<RecordInfo>{first, second}));
    EXPECT_TRUE(parsed.entries[0].StillRecording());
    EXPECT_FALSE(parsed.entries[1].StillRecording());
}

TEST(RecordingListFormat, DamageKeepsTheWholeEntriesBeforeIt) {
    const std::vector<RecordInfo> entries = {Entry("/a/1.avi", 1), Entry("/a/2.avi", 2),
                                             Entry("/a/3.avi", 3)};
    const QByteArray good = SerializeRecordingList(entries);
    const qsizetype entryBytes = (good.size() - 2) / 3;
    // Every cut: the entries wholly before it survive, and the damage is seen.
    for (qsizetype cut = 1; cut < good.size(); ++cut) {
        const auto parsed = ParseRecordingList(good.left(cut));
        EXPECT_TRUE(parsed.damaged) << cut;
        EXPECT_EQ(parsed.entries.size(),
                  static_cast<size_t>(std::max<qsizetype>(0, (cut - 2) / entryBytes)))
            << cut;
    }
    struct Case {
        const char* label;
        QByteArray bytes;
        size_t entries;
    };
    QByteArray wildCount = good;
    wildCount[0] = '\xFE';
    wildCount[1] = '\xFF';
    QByteArray largeWild = QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF", 6) + good.mid(2);
    QByteArray wildLength = good;
    wildLength[2] = '\xFF';  // the first path claims a 16-bit length it does not have
    const Case cases[] = {
        {"count beyond the entries", wildCount, 3},
        {"large count form, wild", largeWild, 3},
        {"a string longer than the file", wildLength, 0},
        {"bytes after the last entry", good + "junk", 3},
        {"one byte", QByteArray("\x01", 1), 0},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseRecordingList(c.bytes);
        EXPECT_TRUE(parsed.damaged) << c.label;
        EXPECT_EQ(parsed.entries.size(), c.entries) << c.label;
    }
    EXPECT_FALSE(ParseRecordingList(QByteArray()).damaged);
}

TEST(RecordingListFormat, SixtyFiveThousandFiveHundredThirtyFiveEntriesSurvive) {
    // The last count the short form holds, and the first that needs the large one.
    std::vector<RecordInfo> entries(65534, Entry("/v/x.avi", 2));
    EXPECT_EQ(SerializeRecordingList(entries).left(2), QByteArray("\xFE\xFF", 2));
    entries.push_back(Entry("/v/y.avi", 3));
    const QByteArray bytes = SerializeRecordingList(entries);
    EXPECT_EQ(bytes.left(6), QByteArray("\xFF\xFF\xFF\xFF\x00\x00", 6));
    const auto parsed = ParseRecordingList(bytes);
    EXPECT_FALSE(parsed.damaged);
    ASSERT_EQ(parsed.entries.size(), 65535u);
    EXPECT_EQ(parsed.entries.back().camera, "3");
}

class RecordingListFile : public ::testing::Test {
protected:
    QString Folder() const { return dir.path() + "/"; }
    QTemporaryDir dir;
};

TEST_F(RecordingListFile, SavesAndLoadsAndAMissingFileIsAnEmptyList) {
    RecordingList list(Folder());
    EXPECT_FALSE(list.Load().damaged);
    EXPECT_TRUE(list.entries().empty());
    list.entries() = {Entry("/r/1.avi", 1), Entry("/r/2.avi", 2)};
    ASSERT_TRUE(list.Save());
    EXPECT_FALSE(QFile::exists(list.filePath() + ".new"));
    RecordingList again(Folder());
    EXPECT_FALSE(again.Load().damaged);
    EXPECT_EQ(again.entries(), list.entries());
}

TEST_F(RecordingListFile, ADamagedFileIsKeptAsideUnderAFreeName) {
    const std::vector<RecordInfo> entries = {Entry("/r/1.avi", 1), Entry("/r/2.avi", 2)};
    const QByteArray damaged = SerializeRecordingList(entries).chopped(3);
    QFile(Folder() + "fileinfo.dat.bad").open(QIODevice::WriteOnly);  // one exists already
    {
        QFile file(Folder() + "fileinfo.dat");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    RecordingList list(Folder());
    const RecordingList::LoadResult result = list.Load();
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.keptAside, Folder() + "fileinfo.dat.bad.2");
    EXPECT_EQ(list.entries().size(), 1u);
    QFile kept(result.keptAside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
    ASSERT_TRUE(list.Save());
    EXPECT_FALSE(list.Load().damaged);
}

TEST_F(RecordingListFile, AFailedRewriteLeavesTheOldListWhole) {
    RecordingList list(Folder());
    list.entries() = {Entry("/r/1.avi", 1)};
    ASSERT_TRUE(list.Save());
    QFile before(list.filePath());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    before.close();
    // A rewrite that cannot complete: its temporary file cannot be made.
    ASSERT_TRUE(QDir(Folder()).mkdir("fileinfo.dat.new"));
    list.entries().push_back(Entry("/r/2.avi", 2));
    EXPECT_FALSE(list.Save());
    QFile after(list.filePath());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
}

TEST(RecordingListUnreadable, ThatCannotBeMovedIsNeverSavedOver) {
    // A program folder so deep that the list's own name fits the longest path and the name it
    // would be moved to does not.
    QTemporaryDir dir;
    QString folder = dir.path() + "/";
    const qsizetype want = 4090 - qsizetype(sizeof "fileinfo.dat") + 1;
    while (folder.size() < want) {
        const qsizetype left = want - folder.size();
        folder += QString(left > 250 ? 200 : left - 1, 'd') + "/";
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    RecordingList list(folder);
    ASSERT_EQ(list.filePath().size(), 4090);
    ASSERT_EQ(::mkfifo(QFile::encodeName(list.filePath()).constData(), 0600), 0);

    const RecordingList::LoadResult loaded = list.Load();
    EXPECT_TRUE(loaded.unreadable);
    EXPECT_TRUE(loaded.movedAside.isEmpty());
    EXPECT_TRUE(list.saveRefused());
    list.entries() = {Entry("/r/1.avi", 1)};
    EXPECT_FALSE(list.Save());
    struct stat left {};
    ASSERT_EQ(::lstat(QFile::encodeName(list.filePath()).constData(), &left), 0);
    EXPECT_TRUE(S_ISFIFO(left.st_mode));
    EXPECT_EQ(list.entries().size(), 1u);
}

}  // namespace
