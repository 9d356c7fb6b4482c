// The local date and time a stamped camera's recorded frames carry in their top-left corner:
// rendered with the application's font when the second changes, drawn on every frame by
// inverting the pixels under the text, so it stays readable on light and dark pictures alike.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

namespace ovistra {

// "2007-03-25(14:30:05)" for that local moment.
QString TimeStampText(const QDateTime& localMoment);

// Not thread-safe: one stamp per recorder, used on the thread that pushes its frames.
class TimeStamp {
public:
    // 16, 24 or 32; any other depth turns the stamp off and returns false.
    bool SetBitsPerPixel(int bits);

    // Renders the text of `localMoment` unless it is the text already rendered. An invalid
    // moment, or no QGuiApplication to take the font from, keeps the current stamp.
    void Update(const QDateTime& localMoment);

    // Inverts every byte of each frame pixel under the text, the stamp's top-left corner on
    // the picture's (the last buffer row when bottomUp), clipped to the frame. A null frame,
    // a size below 1 or a stride shorter than a row does nothing.
    void Draw(uint8_t* frame, int width, int height, int strideBytes, bool bottomUp) const;

    const QString& text() const { return text_; }
    // One bit per pixel, index 1 where a glyph is; null before the first render.
    const QImage& bitmap() const { return bitmap_; }
    int renderCount() const { return renderCount_; }

private:
    // A horizontal stretch of glyph pixels in one stamp row.
    struct Run {
        int row;
        int startX;
        int lengthPx;
    };

    void Render();

    int bytesPerPixel_ = 0;  // 0: off
    QString text_;
    QImage bitmap_;
    std::vector<Run> runs_;  // by row, top row first
    int renderCount_ = 0;
};

}  // namespace ovistra
