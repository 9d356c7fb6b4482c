// The frames' time stamp: its text, the bytes it inverts at each depth and orientation, small
// frames, and a render only when the second changes.
#include "time_stamp.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "guarded_buffer.h"

namespace {

using ovistra::TimeStamp;

QDateTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}

TEST(TimeStamp, TextIsTheZeroPaddedLocalDateAndTime) {
    const std::pair<QDateTime, QString> cases[] = {
        {At(2007, 3, 25, 14, 30, 5), "2007-03-25(14:30:05)"},
        {At(2000, 1, 1, 0, 0, 0), "2000-01-01(00:00:00)"},
        {At(2099, 12, 31, 23, 59, 59, 999), "2099-12-31(23:59:59)"},
        {At(2024, 2, 9, 7, 8, 9), "2024-02-09(07:08:09)"},
    };
    for (const auto& [moment, text] : cases) {
        EXPECT_EQ(ovistra::TimeStampText(moment), text);
    }
}

// Every byte is checked: a glyph pixel's inside the picture inverted, all others (background,
// beyond the stamp, row padding) kept. Frames end at a guard page, so an overrun crashes.
TEST(TimeStamp, InvertsExactlyTheGlyphPixelsAtThePicturesTopLeftClippedToTheFrame) {
    TimeStamp stamp;
    stamp.Update(At(2007, 3, 25, 14, 30, 5));
    const QImage glyphs = stamp.bitmap();
    const int w = glyphs.width(), h = glyphs.height();
    const std::tuple<int, int, int, int> frames[] = {
        // bits, width, height, strideBytes
        {16, 640, 480, 1280},
        {24, 640, 480, 1920},
        {32, 640, 480, 2560},
        {24, w / 2, h / 2, w / 2 * 3},
        {32, w - 1, h - 1, (w - 1) * 4},
        {16, w + 3, h + 2, w * 2 + 11},
    };
    for (const auto& [bits, width, height, strideBytes] : frames) {
        for (bool bottomUp : {false, true}) {
            SCOPED_TRACE(testing::Message() << bits << " bits " << width << "x" << height
                                            << (bottomUp ? " bottom-up" : ""));
            ASSERT_TRUE(stamp.SetBitsPerPixel(bits));
            const int bytesPerPixel = bits / 8, bytes = strideBytes * height;
            testsupport::GuardedBuffer frame(bytes);
            for (int i = 0; i < bytes; ++i) {
                frame[i] = static_cast<uint8_t>(i * 31 + i / 509);
            }
            stamp.Draw(frame.data(), width, height, strideBytes, bottomUp);
            int inverted = 0;
            for (int i = 0; i < bytes; ++i) {
                const int row = i / strideBytes, x = i % strideBytes / bytesPerPixel;
                const int y = bottomUp ? height - 1 - row : row;
                const bool glyph = i % strideBytes < width * bytesPerPixel && x < w && y < h &&
                                   glyphs.pixelIndex(x, y) == 1;
                const auto original = static_cast<uint8_t>(i * 31 + i / 509);
                ASSERT_EQ(frame[i], glyph ? uint8_t(~original) : original) << "byte " << i;
                inverted += glyph && i % strideBytes % bytesPerPixel == 0;
            }
            // Glyphs, not their background: some pixels, under half of the stamp.
            EXPECT_GT(inverted, 0);
            EXPECT_LT(inverted, w * h / 2);
        }
    }
}

TEST(TimeStamp, LeavesTheFrameAloneForOtherDepthsAndBadFrames) {
    TimeStamp stamp;
    stamp.Update(At(2007, 3, 25, 14, 30, 5));
    const std::vector<uint8_t> original(1920 * 480, 0x5A);
    std::vector<uint8_t> frame = original;
    for (int bits : {8, 15, 0, 48}) {
        stamp.SetBitsPerPixel(24);
        EXPECT_FALSE(stamp.SetBitsPerPixel(bits)) << bits;
        stamp.Draw(frame.data(), 640, 480, 1920, false);
    }
    ASSERT_TRUE(stamp.SetBitsPerPixel(24));
    stamp.Draw(nullptr, 640, 480, 1920, false);
    for (const auto& [width, height, strideBytes] :
         {std::tuple{0, 480, 1920}, {640, 0, 1920}, {-640, 480, 1920}, {640, 480, 1919}}) {
        stamp.Draw(frame.data(), width, height, strideBytes, false);
    }
    EXPECT_EQ(frame, original);
    stamp.Draw(frame.data(), 640, 480, 1920, false);  // the same frame, well described
    EXPECT_NE(frame, original);
}

TEST(TimeStamp, RendersOnlyWhenTheSecondChanges) {
    TimeStamp stamp;
    const std::pair<QDateTime, int> steps[] = {
        {At(2007, 3, 25, 14, 30, 5), 1},    {At(2007, 3, 25, 14, 30, 5, 999), 1},
        {At(2007, 3, 25, 14, 30, 6, 1), 2}, {At(2007, 3, 25, 14, 30, 6, 500), 2},
        {At(2007, 3, 26, 14, 30, 6), 3},    {QDateTime(), 3},
    };
    QImage previous;
    for (const auto& [moment, renders] : steps) {
        const bool rendered = renders > stamp.renderCount();
        stamp.Update(moment);
        SCOPED_TRACE(moment.toString(Qt::ISODateWithMs).toStdString());
        EXPECT_EQ(stamp.renderCount(), renders);
        // A new second shows: the pictures of two different texts differ.
        EXPECT_EQ(stamp.bitmap() != previous, rendered);
        previous = stamp.bitmap();
    }
}

}  // namespace
