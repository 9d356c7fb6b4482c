#include "picture_print.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "c_dib.h"

namespace ovistra {
namespace {

constexpr int kMargins = 100;  // both margins together, across and down
constexpr int kHalfMargins = 50;
const char* const kDocumentName = "Halvorn 3532";

}  // namespace

QRect PrintPlacement(const QSize& page, const QSize& picture, bool portrait) {
    const int printableWidth = page.width() - kMargins;
    const int printableHeight = page.height() - kMargins;
    if (picture.isEmpty() || printableWidth <= 0 || printableHeight <= 0) {
        return {};
    }
    const double scale = std::min(static_cast<double>(printableWidth) / picture.width(),
                                  static_cast<double>(printableHeight) / picture.height());
    const int width = static_cast<int>(picture.width() * scale);
    const int height = static_cast<int>(picture.height() * scale);
    const int x = (page.width() - width - kHalfMargins) / 2;
    const int y = portrait ? kHalfMargins : (page.height() - height) / 2;
    return {x, y, width, height};
}

PrintOutcome PrintPicture(QPrinter& printer, const QString& path) {
    // Read before the printer starts, so a picture that cannot be read costs no sheet.
    CDib dib;
    const QImage picture = dib.Read(path) > 0 ? dib.ToImage() : QImage();
    if (picture.isNull()) {
        return PrintOutcome::PictureUnreadable;
    }
    printer.setDocName(QString::fromLatin1(kDocumentName));
    QPainter painter;
    if (!painter.begin(&printer)) {
        return PrintOutcome::PrinterUnusable;
    }
    const bool portrait = printer.pageLayout().orientation() == QPageLayout::Portrait;
    const QRect placement =
        PrintPlacement(QSize(printer.width(), printer.height()), picture.size(), portrait);
    painter.drawImage(placement, picture);
    return painter.end() ? PrintOutcome::Printed : PrintOutcome::PrinterUnusable;
}

}  // namespace ovistra
