#include "video_view.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

#include "capture_device.h"
#include "frame_grabber.h"
#include "yuy2_to_rgb24.h"
#include "yuy2_to_rgb32_scaled.h"

namespace ovistra::media {
namespace {

constexpr int kDibHeaderBytes = 40;
constexpr int kDibImageBytes = kFrameWidth * kFrameHeight * 3;

uint8_t* PutLe32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return out + 4;
}

uint8_t* PutLe16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    return out + 2;
}

// A bottom-up 24-bit header: a positive height is what marks the lines as bottom-up.
void PutDibHeader(uint8_t* out) {
    out = PutLe32(out, kDibHeaderBytes);
    out = PutLe32(out, kFrameWidth);
    out = PutLe32(out, kFrameHeight);
    out = PutLe16(out, 1);   // planes
    out = PutLe16(out, 24);  // bits per pixel
    out = PutLe32(out, 0);   // uncompressed
    out = PutLe32(out, kDibImageBytes);
    for (int i = 0; i < 4; ++i) {  // resolution and palette: none
        out = PutLe32(out, 0);
    }
}

}  // namespace

VideoView::VideoView(QWidget* parent) : QWidget(parent), signal_(std::make_shared<FrameSignal>()) {
    signal_->view = this;
    // Each paint covers every pixel, so Qt need not clear anything first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

VideoView::~VideoView() {
    SetGrabber(nullptr);
    // A callback the grabber replaced may still be running; from here on it posts nothing.
    const std::lock_guard guard(signal_->lock);
    signal_->view = nullptr;
}

void VideoView::SetGrabber(FrameGrabber* grabber) {
    if (grabber_ != nullptr) {
        grabber_->SetFrameCallback(nullptr);
    }
    grabber_ = grabber;
    if (grabber_ == nullptr) {
        return;
    }
    grabber_->SetFrameCallback([signal = signal_] { OnFrame(*signal); });
    // Whatever the grabber already holds is shown without waiting for its next frame.
    signal_->pending.store(true);
    update();
}

void VideoView::OnFrame(FrameSignal& signal) {
    if (signal.pending.exchange(true)) {
        return;  // an update is already on its way
    }
    const std::lock_guard guard(signal.lock);
    if (signal.view != nullptr) {
        QMetaObject::invokeMethod(signal.view, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

void VideoView::paintEvent(QPaintEvent* /*event*/) {
    // Cleared before the lease is taken, so a frame stored meanwhile queues a fresh update.
    if (signal_->pending.exchange(false)) {
        TakeLatestFrame();
    }
    QPainter painter(this);
    PaintPicture(painter);
    if (overlay_) {
        overlay_(painter, rect());
    }
}

void VideoView::SetOverlay(OverlayPainter overlay) {
    overlay_ = std::move(overlay);
    update();
}

void VideoView::PaintPicture(QPainter& painter) {
    if (shownFrame_.empty()) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    const qreal pixelRatio = devicePixelRatio();
    const QSize pixels = size() * pixelRatio;
    if (pixels.isEmpty()) {
        return;
    }
    if (!imageCurrent_ || image_.size() != pixels || image_.devicePixelRatio() != pixelRatio) {
        ConvertShownFrame(pixels, pixelRatio);
    }
    painter.drawImage(QPoint(0, 0), image_);
}

void VideoView::TakeLatestFrame() {
    if (grabber_ == nullptr) {
        return;
    }
    const FrameGrabber::Lease lease = grabber_->GetBuffer();
    if (!lease) {
        return;
    }
    // A copy, so the grabber's buffer is pinned only for the copy and the shown frame survives
    // for resizes and GetCurrentImage.
    shownFrame_.assign(lease.data(), lease.data() + kFrameBytes);
    imageCurrent_ = false;
}

void VideoView::ConvertShownFrame(QSize pixels, qreal pixelRatio) {
    if (image_.size() != pixels) {
        image_ = QImage(pixels, QImage::Format_RGB32);
    }
    if (image_.isNull()) {
        return;  // no memory for a picture this large: the widget stays as it was
    }
    image_.setDevicePixelRatio(pixelRatio);
    Yuy2ToRgb32Scaled(reinterpret_cast<uint32_t*>(image_.bits()),
                      static_cast<int>(image_.bytesPerLine() / 4), image_.width(), image_.height(),
                      shownFrame_.data());
    imageCurrent_ = true;
    ++conversions_;
}

QByteArray VideoView::GetCurrentImage() const {
    return shownFrame_.empty() ? QByteArray() : PackedBitmapOf(shownFrame_.data());
}

QByteArray VideoView::PackedBitmapOf(const uint8_t* frame) {
    QByteArray dib(kDibHeaderBytes + kDibImageBytes, Qt::Uninitialized);
    auto* out = reinterpret_cast<uint8_t*>(dib.data());
    PutDibHeader(out);
    Yuy2ToRgb24(out + kDibHeaderBytes, frame + kFrameStride * (kFrameHeight - 1),
                kFrameWidth / 2, kFrameHeight, 0, -2 * kFrameStride);
    return dib;
}

}  // namespace ovistra::media
