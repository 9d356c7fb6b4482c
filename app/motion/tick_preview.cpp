#include "tick_preview.h"

#include <QPainter>

namespace ovistra {
namespace {

constexpr int kCaptionHeight = 18;
constexpr QRgb kChanged = qRgb(255, 0, 0);

}  // namespace

QImage TickImage(const TickPicture& tick) {
    constexpr size_t kPixels = size_t(TickPicture::kWidth) * TickPicture::kHeight;
    if (!tick.valid || tick.grey.size() != kPixels || tick.changed.size() != kPixels) {
        return {};
    }
    QImage image(TickPicture::kWidth, TickPicture::kHeight, QImage::Format_RGB32);
    for (int y = 0; y < TickPicture::kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const size_t row = size_t(y) * TickPicture::kWidth;
        for (int x = 0; x < TickPicture::kWidth; ++x) {
            const uint8_t grey = tick.grey[row + x];
            line[x] = tick.changed[row + x] ? kChanged : qRgb(grey, grey, grey);
        }
    }
    return image;
}

CTickPreview::CTickPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(TickPicture::kWidth, TickPicture::kHeight + kCaptionHeight);
}

QSize CTickPreview::sizeHint() const {
    return {TickPicture::kWidth, TickPicture::kHeight + kCaptionHeight};
}

void CTickPreview::Show(const QImage& image, const QString& caption) {
    image_ = image;
    caption_ = caption;
    update();
}

void CTickPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect pictureArea(0, 0, width(), height() - kCaptionHeight);
    painter.fillRect(pictureArea, QColor(20, 24, 30));
    if (!image_.isNull()) {
        // Kept at the picture's 4:3, centred.
        const QSize shown = QSize(TickPicture::kWidth, TickPicture::kHeight)
                                .scaled(pictureArea.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), shown);
        target.moveCenter(pictureArea.center());
        painter.drawImage(target, image_);
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, pictureArea.bottom() + 1, width(), kCaptionHeight), Qt::AlignCenter,
                     caption_);
}

}  // namespace ovistra
