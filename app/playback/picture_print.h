// Printing one still picture on one page: as large as the page allows less a 100-unit margin
// each way, keeping its proportions.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

class QPrinter;

namespace ovistra {

// Where the picture goes on a page of `page` device units (the printable area). A portrait page
// puts it 50 units from the top, a landscape page centres it vertically; across, it sits 25
// units left of centre. Empty when the picture or the page leaves nothing to print.
QRect PrintPlacement(const QSize& page, const QSize& picture, bool portrait);

enum class PrintOutcome { Printed, PictureUnreadable, PrinterUnusable };

// Prints the BMP at `path` as the document "Halvorn 3532". An unreadable picture prints nothing.
PrintOutcome PrintPicture(QPrinter& printer, const QString& path);

}  // namespace ovistra
