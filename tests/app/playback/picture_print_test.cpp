// Printing a still picture: where it lands on portrait and landscape pages, and a real print to
// a PDF file, which an unreadable picture or an unusable printer never produces.
#include "picture_print.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QTemporaryDir>

namespace ovistra {
namespace {

TEST(PrintPlacement, FillsThePageLessMarginsKeepingProportions) {
    const struct {
        QSize page, picture;
        bool portrait;
        QRect expected;
    } cases[] = {
        {{1000, 1400}, {640, 480}, true, {25, 50, 900, 675}},     // wide picture, portrait page
        {{1000, 1400}, {200, 400}, true, {150, 50, 650, 1300}},   // tall picture, portrait page
        {{1400, 1000}, {800, 200}, false, {25, 337, 1300, 325}},  // wide, centred vertically
        {{1400, 1000}, {200, 400}, false, {450, 50, 450, 900}},   // tall, fills the height
        {{1100, 900}, {640, 480}, false, {25, 75, 1000, 750}},
        {{1002, 1400}, {640, 480}, true, {25, 50, 902, 676}},  // 676.5 high: truncated
        {{1000, 1400}, {0, 480}, true, {}},
        {{100, 1400}, {640, 480}, true, {}},  // no room inside the margins
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintPlacement(c.page, c.picture, c.portrait), c.expected)
            << c.page.width() << "x" << c.page.height() << " " << c.picture.width() << "x"
            << c.picture.height();
    }
}

class PicturePrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        QImage image(64, 48, QImage::Format_RGB888);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(picture, "BMP"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    }
    QTemporaryDir dir;
    const QString picture = dir.filePath("still.bmp");
    const QString pdf = dir.filePath("print.pdf");
    QPrinter printer;
};

TEST_F(PicturePrintTest, PrintsOneTitledPage) {
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        printer.setPageOrientation(orientation);
        ASSERT_EQ(PrintPicture(printer, picture), PrintOutcome::Printed);
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF"));
        // The document title is stored as UTF-16, high byte first.
        EXPECT_TRUE(bytes.contains(QByteArray("\0H\0a\0l\0v\0o\0r\0n\0 \0003\0005\0003\0002", 24)));
        file.close();
        QFile::remove(pdf);
    }
}

TEST_F(PicturePrintTest, UnreadablePictureOrPrinterPrintsNothing) {
    QFile truncated(dir.filePath("truncated.bmp"));
    ASSERT_TRUE(QFile::copy(picture, truncated.fileName()));
    ASSERT_TRUE(truncated.resize(100));
    EXPECT_EQ(PrintPicture(printer, truncated.fileName()), PrintOutcome::PictureUnreadable);
    EXPECT_EQ(PrintPicture(printer, dir.filePath("missing.bmp")), PrintOutcome::PictureUnreadable);
    EXPECT_FALSE(QFile::exists(pdf));

    printer.setOutputFileName(dir.filePath("no/such/folder/print.pdf"));
    EXPECT_EQ(PrintPicture(printer, picture), PrintOutcome::PrinterUnusable);
}

}  // namespace
}  // namespace ovistra
