// Still pictures on disk: their names, their BMP header, and names taken within a millisecond.
#include "still_picture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace ovistra {
namespace {

const QDateTime At(int msec) {
    return QDateTime(QDate(2003, 11, 30), QTime(14, 25, 1, msec));
}

TEST(StillPicture, NamesCarryTheMillisecondsWithoutLeadingZeros) {
    const struct {
        int msec;
        const char* name;
    } cases[] = {{37, "20031130-14250137.bmp"},
                 {5, "20031130-1425015.bmp"},
                 {50, "20031130-14250150.bmp"},
                 {0, "20031130-1425010.bmp"},
                 {999, "20031130-142501999.bmp"}};
    for (const auto& c : cases) {
        EXPECT_EQ(StillFileName(At(c.msec)), c.name) << c.msec;
    }
}

TEST(StillPicture, FilesAreBitmapsWithTheirHeaderAndATakenNameMovesOn) {
    QTemporaryDir dir;
    QByteArray bitmap(40 + 12, '\x5a');
    const QString first = SaveStill(dir.path(), At(37), bitmap);
    const QString second = SaveStill(dir.path(), At(37), bitmap);
    EXPECT_EQ(QFileInfo(first).fileName(), "20031130-14250137.bmp");
    EXPECT_EQ(QFileInfo(second).fileName(), "20031130-14250138.bmp");
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 14 + bitmap.size());
    const char header[14] = {'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    EXPECT_EQ(bytes.left(14), QByteArray(header, 14));
    EXPECT_EQ(bytes.mid(14), bitmap);
}

TEST(StillPicture, NothingIsWrittenWithoutAPictureOrAFolder) {
    QTemporaryDir dir;
    EXPECT_TRUE(SaveStill(dir.path(), At(1), QByteArray()).isEmpty());
    EXPECT_TRUE(SaveStill(dir.path(), At(1), QByteArray(39, 'x')).isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(SaveStill(dir.filePath("missing"), At(1), QByteArray(40, 'x')).isEmpty());
}

// A still named on one thread and written on another: the name is held meanwhile, and the
// filling never spoils a file that is not the empty one reserved.
TEST(StillPicture, AReservedNameIsHeldUntilFilledAndOnlyTheEmptyFileIsFilled) {
    QTemporaryDir dir;
    const QByteArray bitmap(40 + 12, '\x5a');
    const QString reserved = ReserveStill(dir.path(), At(37));
    EXPECT_EQ(QFileInfo(reserved).fileName(), "20031130-14250137.bmp");
    EXPECT_EQ(QFileInfo(SaveStill(dir.path(), At(37), bitmap)).fileName(), "20031130-14250138.bmp");
    ASSERT_TRUE(FillStill(reserved, bitmap));
    QFile file(reserved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().mid(14), bitmap);
    file.close();

    EXPECT_FALSE(FillStill(reserved, QByteArray(40, 'y'))) << "filled already";
    EXPECT_EQ(QFileInfo(reserved).size(), 14 + bitmap.size());
    const QString unfillable = ReserveStill(dir.path(), At(37));
    EXPECT_FALSE(FillStill(unfillable, QByteArray(39, 'x')));
    EXPECT_FALSE(QFile::exists(unfillable)) << "no empty picture is left behind";
    EXPECT_FALSE(FillStill(dir.filePath("never-reserved.bmp"), bitmap));
    EXPECT_FALSE(QFile::exists(dir.filePath("never-reserved.bmp")));
    EXPECT_TRUE(ReserveStill(dir.filePath("missing"), At(1)).isEmpty());
}

}  // namespace
}  // namespace ovistra
