// The picture browser's list on real files: the view and selection as pictures come, deletes
// and conversions that touch only the files they name, and conversions that fail keeping theirs.
#include "picture_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace ovistra {
namespace {

class PictureListTest : public ::testing::Test {
protected:
    QString Bitmap(const QString& folder, const QString& name) {
        QDir().mkpath(dir.filePath(folder));
        const QString path = QDir(dir.filePath(folder)).filePath(name);
        QImage image(32, 24, QImage::Format_RGB888);
        image.fill(Qt::darkGreen);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    bool Exists(const QString& relative) const { return QFile::exists(dir.filePath(relative)); }

    QTemporaryDir dir;
    PictureList list;
};

TEST_F(PictureListTest, TheSixthPictureMovesTheViewAndIsSelected) {
    for (int i = 1; i <= 6; ++i) {
        list.Add(dir.filePath(QStringLiteral("image/%1.bmp").arg(i)));
    }
    EXPECT_EQ(list.offset(), 1);
    EXPECT_EQ(list.selectedSlot(), 4);
    EXPECT_EQ(list.SelectedIndex(), 5);
    EXPECT_EQ(list.SlotPicture(0)->name, "2.bmp");
    list.ScrollForward();
    EXPECT_EQ(list.offset(), 1);  // the last picture is in the last slot
    list.ScrollBack();
    list.ScrollBack();
    EXPECT_EQ(list.offset(), 0);
    EXPECT_EQ(list.SelectedIndex(), 4);  // the slot stays, the picture under it changes
    list.SelectNewest();                 // an export just made is the one shown selected
    EXPECT_EQ(list.offset(), 1);
    EXPECT_EQ(list.SelectedIndex(), 5);

    PictureList few;
    few.Add(dir.filePath("a.bmp"));
    EXPECT_FALSE(few.Select(1));
    EXPECT_EQ(few.selectedSlot(), -1);
    EXPECT_FALSE(few.DeleteSelected());
    few.Add(dir.filePath("b.bmp"));
    few.SelectNewest();
    EXPECT_EQ(few.SelectedIndex(), 1);
}

TEST_F(PictureListTest, PicturesOfTwoFoldersDeleteTheirOwnFiles) {
    list.Add(Bitmap("Camera1/image", "export.bmp"));
    list.Add(Bitmap("Camera2/image", "export.bmp"));
    ASSERT_TRUE(list.Select(1));
    EXPECT_TRUE(list.DeleteSelected());
    EXPECT_TRUE(Exists("Camera1/image/export.bmp"));
    EXPECT_FALSE(Exists("Camera2/image/export.bmp"));
    list.DeleteAll();
    EXPECT_FALSE(Exists("Camera1/image/export.bmp"));
    EXPECT_EQ(list.count(), 0);
}

TEST_F(PictureListTest, ConversionsWriteOnlyPlainNamesAndKeepWhatFailed) {
    using C = PictureList::Conversion;
    const struct {
        const char* edited;
        bool deleteBitmap, replace, corrupt, existing;
        C result;
        const char* jpeg;  // expected afterwards, or null
        bool bitmapKept, listed;
    } cases[] = {
        {"garden.old.bmp", false, false, false, false, C::Converted, "garden.jpg", true, false},
        {"gate", true, false, false, false, C::Converted, "gate.jpg", false, false},
        {"../up", true, false, false, false, C::BadName, nullptr, true, true},
        {"", true, false, false, false, C::BadName, nullptr, true, true},
        {".hidden", true, false, false, false, C::BadName, nullptr, true, true},
        {"taken", true, false, false, true, C::Exists, "taken.jpg", true, true},
        {"taken", true, true, false, true, C::Converted, "taken.jpg", false, false},
        {"broken", true, false, true, false, C::Failed, nullptr, true, true},
    };
    for (const auto& c : cases) {
        QTemporaryDir scratch;
        PictureList pictures;
        const QString bitmap = scratch.filePath("still.bmp");
        QImage image(16, 16, QImage::Format_RGB888);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(bitmap, "BMP"));
        if (c.corrupt) {
            QFile::resize(bitmap, 20);
        }
        if (c.existing) {
            QFile old(scratch.filePath("taken.jpg"));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        pictures.Add(bitmap);
        ASSERT_TRUE(pictures.Select(0));
        EXPECT_EQ(pictures.ConvertSelected(c.edited, c.deleteBitmap, c.replace), c.result)
            << c.edited;
        if (c.jpeg) {
            // A picture only where this conversion wrote one: a JPEG kept untouched is no image.
            EXPECT_EQ(!QImage(scratch.filePath(c.jpeg)).isNull(), c.result == C::Converted)
                << c.edited;
        }
        EXPECT_EQ(QDir(scratch.path()).entryList({"*.jpg"}).size(), c.jpeg ? 1 : 0) << c.edited;
        EXPECT_EQ(QFile::exists(bitmap), c.bitmapKept) << c.edited;
        EXPECT_EQ(pictures.count(), c.listed ? 1 : 0) << c.edited;
    }
}

TEST_F(PictureListTest, ConvertingAllKeepsOnlyThePicturesThatFailed) {
    list.Add(Bitmap("image", "a.bmp"));
    const QString broken = Bitmap("image", "b.bmp");
    QFile::resize(broken, 10);
    list.Add(broken);
    list.Add(Bitmap("image", "c.bmp"));
    EXPECT_EQ(list.ConvertAll(), 1);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.SlotPicture(0)->name, "b.bmp");
    EXPECT_TRUE(Exists("image/b.bmp"));
    for (const char* name : {"a", "c"}) {
        EXPECT_FALSE(Exists(QStringLiteral("image/%1.bmp").arg(name)));
        EXPECT_FALSE(QImage(dir.filePath(QStringLiteral("image/%1.jpg").arg(name))).isNull());
    }
}

}  // namespace
}  // namespace ovistra
