// One camera's live picture: a widget that repaints on a coalesced queued update when its
// grabber has a new frame, converting the frame once, straight to 32-bit pixels at its own size.
// The main window places it with setParent and setGeometry.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QPainter;

namespace ovistra::media {

class FrameGrabber;

class VideoView : public QWidget {
    Q_OBJECT

public:
    explicit VideoView(QWidget* parent = nullptr);
    ~VideoView() override;

    // Shows the frames of `grabber` (which must outlive the view or be replaced first), starting
    // with the one it holds; null detaches and keeps the picture shown last.
    void SetGrabber(FrameGrabber* grabber);

    // The frame shown last as a packed bitmap: a 40-byte header, then 640x480 bottom-up 24-bit
    // blue, green, red. Empty before the first frame is shown.
    QByteArray GetCurrentImage() const;
    // The same bitmap of any 640x480 YUY2 frame.
    static QByteArray PackedBitmapOf(const uint8_t* frame);

    // Draws over the picture at every paint, in the view's own coordinates; empty: nothing. The
    // converted picture is kept, so a repaint for the overlay alone converts nothing: whoever
    // changes what the overlay shows calls update().
    using OverlayPainter = std::function<void(QPainter&, const QRect&)>;
    void SetOverlay(OverlayPainter overlay);

    // Frames converted for painting so far.
    uint64_t conversions() const { return conversions_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // What the grabber's callback reaches; it outlives the view while a callback the grabber
    // replaced may still be running.
    struct FrameSignal {
        // --- streaming thread writes, UI thread reads and clears (atomics)
        std::atomic<bool> pending{false};
        // --- guarded by lock (the UI thread only clears it, the streaming thread only posts)
        std::mutex lock;
        VideoView* view = nullptr;
    };

    static void OnFrame(FrameSignal& signal);
    void TakeLatestFrame();
    void PaintPicture(QPainter& painter);
    void ConvertShownFrame(QSize pixels, qreal pixelRatio);

    std::shared_ptr<FrameSignal> signal_;

    // --- UI thread only
    FrameGrabber* grabber_ = nullptr;
    std::vector<uint8_t> shownFrame_;  // the YUY2 frame on screen, empty until the first
    bool imageCurrent_ = false;        // image_ shows shownFrame_
    QImage image_;
    uint64_t conversions_ = 0;
    OverlayPainter overlay_;
};

}  // namespace ovistra::media
