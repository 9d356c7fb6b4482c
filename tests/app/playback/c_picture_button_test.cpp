// Picture slots painted offscreen: the frame tells the selection, the picture fills the inside,
// a file that cannot be read leaves the slot empty, and a picture is read once however often
// it is painted.
#include "c_picture_button.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "thumbnail_cache.h"

namespace ovistra {
namespace {

class PictureButtonTest : public ::testing::Test {
protected:
    QString Bitmap(const QString& name, const QColor& colour, QSize size = {64, 48}) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    QImage Grab(CPictureButton& button) {
        return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
    std::shared_ptr<ThumbnailCache> cache = std::make_shared<ThumbnailCache>();
};

TEST_F(PictureButtonTest, FrameShowsTheSelectionAndThePictureFillsTheInside) {
    const QColor green(0, 160, 0), background(10, 20, 30);
    QFile broken(dir.filePath("broken.bmp"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("BM\x40\0\0\0\0\0\0\0\x36\0\0\0", 14));  // header, then nothing
    broken.close();
    const struct {
        QString file;
        bool selected;
        QColor frame, inside;
    } cases[] = {{Bitmap("green.bmp", green), true, Qt::red, green},
                 {Bitmap("green.bmp", green), false, Qt::white, green},
                 {broken.fileName(), true, Qt::red, background},
                 {dir.filePath("missing.bmp"), false, Qt::white, background},
                 {QString(), false, Qt::white, background}};
    for (const auto& c : cases) {
        CPictureButton button(cache);
        QPalette palette = button.palette();
        palette.setColor(QPalette::Window, background);
        button.setPalette(palette);
        button.resize(130, 100);
        button.SetImage(c.file);
        button.SetSelected(c.selected);
        const QImage image = Grab(button);
        for (const QPoint corner : {QPoint(0, 0), QPoint(129, 99), QPoint(64, 0), QPoint(0, 50)}) {
            EXPECT_EQ(image.pixelColor(corner), c.frame) << c.file.toStdString();
        }
        for (const QPoint inside : {QPoint(2, 2), QPoint(65, 50), QPoint(127, 97)}) {
            EXPECT_EQ(image.pixelColor(inside), c.inside) << c.file.toStdString();
        }
    }
}

TEST_F(PictureButtonTest, SlotsShareOneReadOfAPictureUntilItChanges) {
    const QString path = Bitmap("still.bmp", Qt::blue);
    CPictureButton first(cache), second(cache);
    for (CPictureButton* button : {&first, &second}) {
        button->resize(130, 100);
        button->SetImage(path);
        Grab(*button);
        Grab(*button);
    }
    EXPECT_EQ(cache->reads(), 1);

    Bitmap("still.bmp", Qt::yellow, {80, 60});  // rewritten under the same name
    EXPECT_EQ(Grab(first).pixelColor(65, 50), QColor(Qt::yellow));
    second.resize(100, 75);
    Grab(second);
    EXPECT_EQ(cache->reads(), 3);
}

}  // namespace
}  // namespace ovistra
