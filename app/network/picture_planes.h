// The pixel work behind the RTSP pictures: a YUY2 frame to I420 planes, a 2:1 reduction into one
// quarter of the four-up picture, and text burnt in by inverting the luma under its glyphs.
// Plain scalar code; the pictures are small and the rate is low.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace ovistra::network {

inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;
// I420: the luma plane, then the quarter-size U and V planes, packed without padding.
inline constexpr size_t I420Bytes(int width, int height) {
    return size_t(width) * height + 2 * size_t(width / 2) * (height / 2);
}

// `yuy2` (width * 2 bytes a row) to packed I420 in `i420`; each chroma sample is the rounded
// mean of the two rows it covers. Even width and height.
void Yuy2ToI420(const uint8_t* yuy2, uint8_t* i420, int width, int height);

// Halves the packed I420 picture `source` (width x height, both multiples of 4) into quarter
// `quarter` (0 top left, 1 top right, 2 bottom left, 3 bottom right) of `target`, a packed
// I420 picture of the same size; each sample is the rounded mean of the 2x2 it replaces.
void ReduceIntoQuarter(const uint8_t* source, uint8_t* target, int width, int height, int quarter);

// Inverts the luma plane `luma` (width x height, `strideBytes` a row) under every glyph pixel
// (index 1) of the Format_Mono `mask` placed with its top-left corner at (left, top), clipped
// to the plane. A null mask or another format does nothing.
void InvertLumaUnder(const QImage& mask, uint8_t* luma, int width, int height, int strideBytes,
                     int left, int top);

// `text` in the application's font, one bit a pixel, index 1 where a glyph is; null for empty
// text or without a QGuiApplication. Any thread.
QImage RenderTextMask(const QString& text);

}  // namespace ovistra::network
