// Bitmaps built byte by byte: each depth reads and paints as the same picture, and hostile
// headers are refused or drawn as nothing, never read past.
#include "c_dib.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <vector>

namespace {

using ovistra::CDib;

// A 3x2 picture: top row red, green, blue; bottom row white, black, white.
const QRgb kPicture[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                             {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 255, 255)}};

void Put32(QByteArray& bytes, int at, uint32_t value) {
    qToLittleEndian<uint32_t>(value, bytes.data() + at);
}

// A BMP of kPicture at `bits` per pixel (1 keeps only black and white).
QByteArray Bmp(int bits) {
    const std::vector<QRgb> table =
        bits == 1 ? std::vector<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}
                  : std::vector<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                      qRgb(255, 255, 255), qRgb(0, 0, 0)};
    const bool paletted = bits <= 8;
    const int colours = paletted ? static_cast<int>(table.size()) : 0;
    const int stride = ((3 * bits + 31) / 32) * 4;
    const int offBits = 14 + 40 + 4 * colours;
    QByteArray bytes(offBits + 2 * stride, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, bytes.size());
    Put32(bytes, 10, offBits);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, 3);
    Put32(bytes, 22, 2);
    qToLittleEndian<uint16_t>(1, bytes.data() + 26);
    qToLittleEndian<uint16_t>(bits, bytes.data() + 28);
    Put32(bytes, 46, colours);
    for (int i = 0; i < colours; ++i) {
        bytes[54 + 4 * i] = static_cast<char>(qBlue(table[i]));
        bytes[54 + 4 * i + 1] = static_cast<char>(qGreen(table[i]));
        bytes[54 + 4 * i + 2] = static_cast<char>(qRed(table[i]));
    }
    for (int y = 0; y < 2; ++y) {
        char* row = bytes.data() + offBits + (1 - y) * stride;  // bottom-up
        for (int x = 0; x < 3; ++x) {
            QRgb c = kPicture[y][x];
            if (bits == 1) {
                c = qGray(c) > 127 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            }
            const int index = static_cast<int>(
                std::find(table.begin(), table.end(), c) - table.begin());
            switch (bits) {
                case 1:
                    row[0] = static_cast<char>(row[0] | (index << (7 - x)));
                    break;
                case 4:
                    row[x / 2] = static_cast<char>(row[x / 2] | (index << (x % 2 ? 0 : 4)));
                    break;
                case 8:
                    row[x] = static_cast<char>(index);
                    break;
                case 24:
                    row[3 * x] = static_cast<char>(qBlue(c));
                    row[3 * x + 1] = static_cast<char>(qGreen(c));
                    row[3 * x + 2] = static_cast<char>(qRed(c));
                    break;
            }
        }
    }
    return bytes;
}

qint64 ReadBytes(CDib& dib, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return dib.Read(buffer);
}

QImage Painted(const CDib& dib, const QRect& dest, const QRect& src, bool* drew = nullptr) {
    QImage canvas(8, 8, QImage::Format_RGB32);
    canvas.fill(qRgb(1, 2, 3));
    QPainter painter(&canvas);
    const bool painted = dib.Paint(painter, dest, src);
    if (drew) {
        *drew = painted;
    }
    return canvas;
}

TEST(CDib, EachDepthReadsAndPaintsThePicture) {
    const struct {
        int bits;
        int colours;
    } cases[] = {{1, 2}, {4, 5}, {8, 5}, {24, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        const QByteArray bytes = Bmp(c.bits);
        CDib dib;
        EXPECT_EQ(ReadBytes(dib, bytes), bytes.size());
        EXPECT_EQ(dib.Width(), 3);
        EXPECT_EQ(dib.Height(), 2);
        EXPECT_EQ(dib.NumColors(), c.colours);
        EXPECT_EQ(dib.palette().size(), c.colours);
        const QImage canvas = Painted(dib, QRect(1, 1, 3, 2), QRect(0, 0, 3, 2));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                QRgb want = kPicture[y][x];
                if (c.bits == 1) {
                    want = qGray(want) > 127 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                }
                EXPECT_EQ(canvas.pixel(1 + x, 1 + y), want) << x << "," << y;
            }
        }
        EXPECT_EQ(canvas.pixel(0, 0), qRgb(1, 2, 3));  // outside dest untouched
    }
}

TEST(CDib, ADifferentSizeStretchesToTheNearestPixel) {
    CDib dib;
    ASSERT_GT(ReadBytes(dib, Bmp(24)), 0);
    const QImage canvas = Painted(dib, QRect(0, 0, 6, 4), QRect(0, 0, 3, 2));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(canvas.pixel(x, y), kPicture[y / 2][x / 2]) << x << "," << y;
        }
    }
}

TEST(CDib, HostileFilesAreRefusedOrDrawNothing) {
    const QByteArray good = Bmp(8);
    const struct {
        const char* name;
        std::function<void(QByteArray&)> damage;
        bool reads;
    } cases[] = {
        {"not BM", [](QByteArray& b) { b[0] = 'X'; }, false},
        {"shorter than a file header", [](QByteArray& b) { b.truncate(10); }, false},
        {"pixels before the headers", [](QByteArray& b) { Put32(b, 10, 13); }, false},
        {"pixels inside the info header", [](QByteArray& b) { Put32(b, 10, 40); }, false},
        {"pixels past the file", [](QByteArray& b) { Put32(b, 10, b.size() + 1); }, false},
        {"huge pixel offset", [](QByteArray& b) { Put32(b, 10, 0xFFFFFFF0u); }, false},
        {"a colour count past the table", [](QByteArray& b) { Put32(b, 46, 0x7FFFFFFF); }, true},
        {"a header size past the block", [](QByteArray& b) { Put32(b, 14, 0xFFFFFF00u); }, true},
        {"pixel rows cut short", [](QByteArray& b) { b.chop(4); }, true},
        // Sides no rectangle can hold are no usable bitmap.
        {"a huge width", [](QByteArray& b) { Put32(b, 18, 0x7FFFFFFF); }, false},
        {"a huge height", [](QByteArray& b) { Put32(b, 22, 0x7FFFFFFF); }, false},
        {"the most negative height", [](QByteArray& b) { Put32(b, 22, 0x80000000u); }, false},
        {"a negative width", [](QByteArray& b) { Put32(b, 18, 0xFFFFFFFDu); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = good;
        c.damage(bytes);
        CDib dib;
        const qint64 taken = ReadBytes(dib, bytes);
        EXPECT_EQ(taken > 0, c.reads);
        EXPECT_LE(dib.palette().size(), 256);
        bool drew = true;
        const QImage canvas = Painted(dib, QRect(0, 0, 3, 2), QRect(0, 0, 3, 2), &drew);
        if (!c.reads || std::string(c.name).find("cut short") != std::string::npos ||
            std::string(c.name).find("huge") != std::string::npos) {
            EXPECT_FALSE(drew);
            EXPECT_EQ(canvas.pixel(0, 0), qRgb(1, 2, 3));
        }
    }
}

}  // namespace
