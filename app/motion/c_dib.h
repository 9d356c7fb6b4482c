// A device-independent bitmap read from a BMP file: its information header with the colour
// table, its pixel rows (bottom-up, each padded to four bytes) and a palette for the paletted
// depths. The picture buttons draw their pictures with it. A file is never trusted: offsets,
// sizes and counts that do not fit the bytes read are refused.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QVector>
#include <cstdint>

class QIODevice;
class QImage;
class QPainter;

namespace ovistra {

class CDib {
public:
    static constexpr int kFileHeaderBytes = 14;
    static constexpr int kInfoHeaderBytes = 40;

    // The bytes taken from the file (pixel offset + pixel bytes), 0 when it is no usable BMP;
    // the object then holds no bitmap.
    qint64 Read(QIODevice& file);
    qint64 Read(const QString& path);

    int Width() const;   // biWidth; 0 without a header
    int Height() const;  // biHeight; 0 without a header
    // biClrUsed when set, else 2, 16 or 256 for 1, 4 or 8 bits per pixel, else 0.
    int NumColors() const;
    // False without a header; true when no palette is needed or it was built.
    bool BuildPalette();
    const QVector<QRgb>& palette() const { return palette_; }

    // Draws the `src` part of the picture into `dest`, unscaled when the sizes match, else
    // stretched to the nearest pixel. False when nothing could be drawn (no bitmap, or pixels
    // that fall short of what the header promises).
    bool Paint(QPainter& painter, const QRect& dest, const QRect& src) const;

    // The picture top-down; null when it cannot be made.
    QImage ToImage() const;

private:
    void Clear();
    int BitCount() const;
    uint32_t Field32(int offset) const;
    uint16_t Field16(int offset) const;

    QByteArray header_;  // the information header and its colour table
    QByteArray bits_;    // the pixel rows
    QVector<QRgb> palette_;
};

}  // namespace ovistra
