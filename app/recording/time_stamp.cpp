#include "time_stamp.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cstddef>
#include <utility>

namespace ovistra {
namespace {

constexpr QRgb kBackground = 0xFF000000;  // colour index 0
constexpr QRgb kGlyph = 0xFFFFFFFF;       // colour index 1

bool GlyphBit(const uchar* line, int x) {
    return (line[x >> 3] >> (7 - (x & 7))) & 1;  // Format_Mono: first pixel in the high bit
}

}  // namespace

QString TimeStampText(const QDateTime& localMoment) {
    const QDate date = localMoment.date();
    const QTime time = localMoment.time();
    return QString::asprintf("%4d-%02d-%02d(%02d:%02d:%02d)", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second());
}

bool TimeStamp::SetBitsPerPixel(int bits) {
    const bool supported = bits == 16 || bits == 24 || bits == 32;
    bytesPerPixel_ = supported ? bits / 8 : 0;
    return supported;
}

void TimeStamp::Update(const QDateTime& localMoment) {
    if (!localMoment.isValid()) {
        return;
    }
    // Fonts live in the GUI application; without one there is nothing to render with.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return;
    }
    QString text = TimeStampText(localMoment);
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    Render();
}

void TimeStamp::Render() {
    ++renderCount_;
    runs_.clear();
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    const int widthPx = metrics.horizontalAdvance(text_);
    const int heightPx = metrics.height();
    if (widthPx <= 0 || heightPx <= 0) {
        bitmap_ = QImage();
        return;
    }
    bitmap_ = QImage(widthPx, heightPx, QImage::Format_Mono);
    bitmap_.setColorTable({kBackground, kGlyph});
    bitmap_.fill(0);
    QPainter painter(&bitmap_);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor::fromRgb(kBackground));
    painter.setPen(QColor::fromRgb(kGlyph));
    painter.drawText(0, metrics.ascent(), text_);
    painter.end();

    // The runs are all a frame needs, so drawing never looks at a background pixel.
    for (int y = 0; y < heightPx; ++y) {
        const uchar* line = bitmap_.constScanLine(y);
        for (int x = 0; x < widthPx;) {
            if (!GlyphBit(line, x)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < widthPx && GlyphBit(line, x)) {
                ++x;
            }
            runs_.push_back({y, start, x - start});
        }
    }
}

void TimeStamp::Draw(uint8_t* frame, int width, int height, int strideBytes, bool bottomUp) const {
    if (frame == nullptr || bytesPerPixel_ == 0 || width <= 0 || height <= 0 ||
        strideBytes < int64_t{width} * bytesPerPixel_) {
        return;
    }
    for (const Run& run : runs_) {
        if (run.row >= height) {
            break;
        }
        if (run.startX >= width) {
            continue;
        }
        const int endX = std::min(run.startX + run.lengthPx, width);
        const int bufferRow = bottomUp ? height - 1 - run.row : run.row;
        // Every byte of a pixel is inverted, so a run is one stretch of bytes whatever the depth.
        uint8_t* byte =
            frame + ptrdiff_t{bufferRow} * strideBytes + ptrdiff_t{run.startX} * bytesPerPixel_;
        uint8_t* const end = byte + ptrdiff_t{endX - run.startX} * bytesPerPixel_;
        for (; byte < end; ++byte) {
            *byte = static_cast<uint8_t>(~*byte);
        }
    }
}

}  // namespace ovistra
