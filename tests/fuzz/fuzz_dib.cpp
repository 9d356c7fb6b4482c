// A bitmap file as the motion library's pictures and the stills are read back.
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "c_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ovistra::CDib dib;
    if (dib.Read(buffer) == 0) {
        return 0;
    }
    dib.BuildPalette();
    (void)dib.NumColors();
    QImage canvas(32, 24, QImage::Format_RGB32);
    QPainter painter(&canvas);
    // As the picture browser's thumbnails draw it.
    const QRect whole(0, 0, dib.Width(), dib.Height());
    dib.Paint(painter, canvas.rect(), whole);
    dib.Paint(painter, whole, whole);
    (void)dib.ToImage();
    return 0;
}
