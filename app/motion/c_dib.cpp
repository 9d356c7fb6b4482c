#include "c_dib.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

namespace ovistra {
namespace {

constexpr uint16_t kBitmapType = 0x4D42;  // "BM"
constexpr int kMaxColors = 256;
// Pictures larger than this are no picture button's; their sizes are refused before any
// arithmetic on them.
constexpr int64_t kMaxSide = 1 << 15;

// Bytes of one padded row, or -1 when the sizes make no sense.
int64_t RowBytes(int64_t width, int bitCount) {
    if (width <= 0 || width > kMaxSide) {
        return -1;
    }
    return ((width * bitCount + 31) / 32) * 4;
}

}  // namespace

void CDib::Clear() {
    header_.clear();
    bits_.clear();
    palette_.clear();
}

qint64 CDib::Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        return 0;
    }
    return Read(file);
}

qint64 CDib::Read(QIODevice& file) {
    Clear();
    char fileHeader[kFileHeaderBytes];
    if (file.read(fileHeader, kFileHeaderBytes) != kFileHeaderBytes ||
        qFromLittleEndian<uint16_t>(fileHeader) != kBitmapType) {
        return 0;
    }
    const uint32_t offBits = qFromLittleEndian<uint32_t>(fileHeader + 10);
    const qint64 fileSize = file.size();
    // The pixels start after the headers and inside the file.
    if (offBits < kFileHeaderBytes + kInfoHeaderBytes || offBits > fileSize) {
        return 0;
    }
    header_ = file.read(offBits - kFileHeaderBytes);
    if (header_.size() != static_cast<qsizetype>(offBits - kFileHeaderBytes)) {
        Clear();
        return 0;
    }
    // Sides beyond what any picture of ours has would overflow the rectangles callers build
    // from them (a height of -2^31 has no positive size at all).
    const int64_t width = Width();
    const int64_t height = Height();
    if (width < 0 || width > kMaxSide || height < -kMaxSide || height > kMaxSide) {
        Clear();
        return 0;
    }
    const qint64 pixelBytes = fileSize - offBits;
    bits_ = file.read(pixelBytes);
    if (bits_.size() != pixelBytes) {
        Clear();
        return 0;
    }
    BuildPalette();
    return offBits + bits_.size();
}

uint32_t CDib::Field32(int offset) const {
    return header_.size() >= offset + 4 ? qFromLittleEndian<uint32_t>(header_.constData() + offset)
                                        : 0;
}

uint16_t CDib::Field16(int offset) const {
    return header_.size() >= offset + 2 ? qFromLittleEndian<uint16_t>(header_.constData() + offset)
                                        : 0;
}

int CDib::Width() const {
    return static_cast<int32_t>(Field32(4));
}

int CDib::Height() const {
    return static_cast<int32_t>(Field32(8));
}

int CDib::BitCount() const {
    return Field16(14);
}

int CDib::NumColors() const {
    if (header_.isEmpty()) {
        return 0;
    }
    const uint32_t used = Field32(32);
    if (used != 0) {
        return used > static_cast<uint32_t>(std::numeric_limits<int>::max())
                   ? std::numeric_limits<int>::max()
                   : static_cast<int>(used);
    }
    switch (BitCount()) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

bool CDib::BuildPalette() {
    if (header_.isEmpty()) {
        return false;
    }
    palette_.clear();
    const int wanted = NumColors();
    if (wanted == 0) {
        return true;
    }
    // Only the entries the file really holds, and never more than a palette has.
    const int64_t tableStart = Field32(0);
    const int64_t held = std::max<int64_t>((header_.size() - tableStart) / 4, 0);
    const int count = static_cast<int>(std::min<int64_t>({wanted, kMaxColors, held}));
    if (count == 0) {
        return false;
    }
    const auto* table = reinterpret_cast<const uint8_t*>(header_.constData()) + tableStart;
    for (int i = 0; i < count; ++i) {
        palette_.push_back(qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]));
    }
    return !palette_.isEmpty();
}

QImage CDib::ToImage() const {
    const int bitCount = BitCount();
    QImage::Format format = QImage::Format_Invalid;
    switch (bitCount) {
        case 1:
            format = QImage::Format_Mono;
            break;
        case 4:
        case 8:
            format = QImage::Format_Indexed8;
            break;
        case 24:
            format = QImage::Format_RGB888;
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    const int64_t width = Width();
    const int64_t height = Height();
    const int64_t stride = RowBytes(width, bitCount);
    // Top-down files (negative height) and compressed ones are not drawn.
    if (stride < 0 || height <= 0 || height > kMaxSide || Field32(16) != 0 ||
        stride * height > bits_.size()) {
        return {};
    }
    if (bitCount <= 8 && palette_.isEmpty()) {
        return {};
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), format);
    if (image.isNull()) {
        return {};
    }
    if (bitCount <= 8) {
        QVector<QRgb> colours = palette_;
        colours.resize(1 << bitCount, qRgb(0, 0, 0));  // indices past the table draw black
        image.setColorTable(colours);
    }
    const auto* rows = reinterpret_cast<const uint8_t*>(bits_.constData());
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* in = rows + (height - 1 - y) * stride;  // bottom-up
        uint8_t* out = image.scanLine(static_cast<int>(y));
        if (bitCount == 1) {  // the same bit order as the image's
            std::memcpy(out, in, static_cast<size_t>((width + 7) / 8));
            continue;
        }
        for (int64_t x = 0; x < width; ++x) {
            switch (bitCount) {
                case 4:
                    out[x] = (x % 2 == 0) ? in[x / 2] >> 4 : in[x / 2] & 0x0F;
                    break;
                case 8:
                    out[x] = in[x];
                    break;
                case 24:  // BGR in the file, RGB in the image
                    out[3 * x] = in[3 * x + 2];
                    out[3 * x + 1] = in[3 * x + 1];
                    out[3 * x + 2] = in[3 * x];
                    break;
                case 32:
                    reinterpret_cast<QRgb*>(out)[x] =
                        qRgb(in[4 * x + 2], in[4 * x + 1], in[4 * x]);
                    break;
            }
        }
    }
    return image;
}

bool CDib::Paint(QPainter& painter, const QRect& dest, const QRect& src) const {
    if (header_.isEmpty()) {
        return false;
    }
    const QImage image = ToImage();
    if (image.isNull()) {
        return false;
    }
    painter.save();
    // Colour on colour: the nearest pixel, no blending.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (dest.size() == src.size()) {
        painter.drawImage(dest.topLeft(), image, src);
    } else {
        painter.drawImage(dest, image, src);
    }
    painter.restore();
    return true;
}

}  // namespace ovistra
