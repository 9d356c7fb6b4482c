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

}  // namespace
}  // namespace ovistra
