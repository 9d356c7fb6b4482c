#include "picture_planes.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

namespace ovistra::network {
namespace {

uint8_t Mean2(int a, int b) { return static_cast<uint8_t>((a + b + 1) >> 1); }
uint8_t Mean4(int a, int b, int c, int d) { return static_cast<uint8_t>((a + b + c + d + 2) >> 2); }

// Halves one plane (width x height, packed) into the window at (left, top) of `target`.
void ReducePlane(const uint8_t* source, int width, int height, uint8_t* target, int targetStride,
                 int left, int top) {
    for (int y = 0; y < height / 2; ++y) {
        const uint8_t* row0 = source + size_t(2 * y) * width;
        const uint8_t* row1 = row0 + width;
        uint8_t* out = target + size_t(top + y) * targetStride + left;
        for (int x = 0; x < width / 2; ++x) {
            out[x] = Mean4(row0[2 * x], row0[2 * x + 1], row1[2 * x], row1[2 * x + 1]);
        }
    }
}

}  // namespace

void Yuy2ToI420(const uint8_t* yuy2, uint8_t* i420, int width, int height) {
    uint8_t* lumaPlane = i420;
    uint8_t* uPlane = lumaPlane + size_t(width) * height;
    uint8_t* vPlane = uPlane + size_t(width / 2) * (height / 2);
    const size_t strideBytes = size_t(width) * 2;
    for (int y = 0; y < height; y += 2) {
        const uint8_t* row0 = yuy2 + y * strideBytes;
        const uint8_t* row1 = row0 + strideBytes;
        uint8_t* luma0 = lumaPlane + size_t(y) * width;
        uint8_t* luma1 = luma0 + width;
        uint8_t* u = uPlane + size_t(y / 2) * (width / 2);
        uint8_t* v = vPlane + size_t(y / 2) * (width / 2);
        for (int x = 0; x < width / 2; ++x) {
            const uint8_t* p0 = row0 + 4 * x;  // Y0 U Y1 V
            const uint8_t* p1 = row1 + 4 * x;
            luma0[2 * x] = p0[0];
            luma0[2 * x + 1] = p0[2];
            luma1[2 * x] = p1[0];
            luma1[2 * x + 1] = p1[2];
            u[x] = Mean2(p0[1], p1[1]);
            v[x] = Mean2(p0[3], p1[3]);
        }
    }
}

void ReduceIntoQuarter(const uint8_t* source, uint8_t* target, int width, int height, int quarter) {
    const int right = quarter & 1;
    const int bottom = (quarter >> 1) & 1;
    const size_t lumaBytes = size_t(width) * height;
    const size_t chromaBytes = size_t(width / 2) * (height / 2);
    ReducePlane(source, width, height, target, width, right * width / 2, bottom * height / 2);
    for (int plane = 0; plane < 2; ++plane) {
        const size_t offset = lumaBytes + plane * chromaBytes;
        ReducePlane(source + offset, width / 2, height / 2, target + offset, width / 2,
                    right * width / 4, bottom * height / 4);
    }
}

void InvertLumaUnder(const QImage& mask, uint8_t* luma, int width, int height, int strideBytes,
                     int left, int top) {
    if (mask.isNull() || mask.format() != QImage::Format_Mono || luma == nullptr) {
        return;
    }
    const int firstRow = std::max(0, -top);
    const int lastRow = std::min(mask.height(), height - top);
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(mask.width(), width - left);
    for (int y = firstRow; y < lastRow; ++y) {
        const uchar* bits = mask.constScanLine(y);
        uint8_t* out = luma + ptrdiff_t(top + y) * strideBytes;
        for (int x = firstColumn; x < lastColumn; ++x) {
            if ((bits[x >> 3] >> (7 - (x & 7))) & 1) {  // Format_Mono: first pixel in the high bit
                out[left + x] = static_cast<uint8_t>(~out[left + x]);
            }
        }
    }
}

QImage RenderTextMask(const QString& text) {
    if (text.isEmpty() || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return {};
    }
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    const int widthPx = metrics.horizontalAdvance(text);
    const int heightPx = metrics.height();
    if (widthPx <= 0 || heightPx <= 0) {
        return {};
    }
    QImage mask(widthPx, heightPx, QImage::Format_Mono);
    mask.setColorTable({0xFF000000, 0xFFFFFFFF});
    mask.fill(0);
    QPainter painter(&mask);
    painter.setFont(font);
    painter.setPen(QColor(0xFFFFFFFF));
    painter.drawText(0, metrics.ascent(), text);
    painter.end();
    return mask;
}

}  // namespace ovistra::network
