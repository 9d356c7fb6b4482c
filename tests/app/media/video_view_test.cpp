// The video view paints each new frame once, converted at its own size, coalescing the frames
// that arrive while the UI thread is busy; it survives detaching and destruction mid-stream.
#include "video_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "capture_device.h"
#include "frame_grabber.h"
#include "random_bytes.h"
#include "yuy2_to_rgb24.h"
#include "yuy2_to_rgb32_scaled.h"

namespace {

using ovistra::media::FrameGrabber;
using ovistra::media::kFrameBytes;
using ovistra::media::VideoView;

std::vector<uint8_t> RandomFrame(uint32_t seed) {
    return ovistra::testing::RandomBytes(kFrameBytes, seed);
}

void Store(FrameGrabber& grabber, const std::vector<uint8_t>& frame) {
    grabber.Store(frame.data(), frame.size());
}

QImage Painted(VideoView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Expected(const std::vector<uint8_t>& frame, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    ovistra::Yuy2ToRgb32Scaled(reinterpret_cast<uint32_t*>(image.bits()),
                               static_cast<int>(image.bytesPerLine() / 4), size.width(),
                               size.height(), frame.data());
    return image;
}

// Counts the queued calls that reach a view: each is one update the streaming side asked for.
class QueuedCallCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) {
            ++count;
        }
        return false;
    }
};

void ShowAndSettle(QWidget& widget) {
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QApplication::processEvents();
}

TEST(VideoView, FramesArrivingWhileTheUiThreadIsBusyArePaintedOnce) {
    FrameGrabber grabber;
    VideoView view;
    view.resize(320, 240);
    view.SetGrabber(&grabber);
    ShowAndSettle(view);
    Store(grabber, RandomFrame(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.conversions() == 1; }));
    const uint64_t before = view.conversions();
    QueuedCallCounter counter;
    view.installEventFilter(&counter);

    // The UI thread runs no event loop until the streaming thread has stored all its frames.
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < 100; ++i) {
        frames.push_back(std::vector<uint8_t>(kFrameBytes, static_cast<uint8_t>(i)));
    }
    std::thread streaming([&] {
        for (const auto& frame : frames) {
            Store(grabber, frame);
        }
    });
    streaming.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.conversions() > before; }));
    QTest::qWait(50);  // time for any further paint to show up

    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(view.conversions(), before + 1);
    EXPECT_EQ(Painted(view), Expected(frames.back(), view.size()));
    EXPECT_EQ(view.conversions(), before + 1) << "a repaint without a new frame converted again";
}

TEST(VideoView, AHiddenViewConvertsNothingAndAsksForOneUpdate) {
    FrameGrabber grabber;
    VideoView view;
    view.resize(320, 240);
    view.SetGrabber(&grabber);
    ShowAndSettle(view);
    Store(grabber, RandomFrame(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.conversions() == 1; }));
    view.hide();
    QueuedCallCounter counter;
    view.installEventFilter(&counter);
    const auto frame = RandomFrame(2);
    for (int i = 0; i < 50; ++i) {
        Store(grabber, frame);
        QApplication::processEvents();
    }
    EXPECT_EQ(view.conversions(), 1u);
    EXPECT_EQ(counter.count, 1);

    view.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.conversions() == 2; }))
        << "showing the view paints the waiting frame";
    EXPECT_EQ(Painted(view), Expected(frame, view.size()));
}

TEST(VideoView, PaintsTheFrameScaledToEachSizeItIsGiven) {
    FrameGrabber grabber;
    const auto frame = RandomFrame(2);
    Store(grabber, frame);  // held before the view attaches: shown without a further frame
    VideoView view;
    view.SetGrabber(&grabber);
    view.resize(320, 240);
    ShowAndSettle(view);
    const QSize sizes[] = {{320, 240}, {1, 1}, {333, 201}, {640, 480}, {960, 540}, {1280, 960}};
    uint64_t conversions = view.conversions();
    for (const QSize size : sizes) {
        view.resize(size);
        const QImage painted = Painted(view);
        ASSERT_EQ(painted.size(), size);
        EXPECT_EQ(painted, Expected(frame, size)) << size.width() << "x" << size.height();
        // Each new size converts the kept frame once, however often it is painted.
        EXPECT_LE(view.conversions(), conversions + 1);
        Painted(view);
        EXPECT_LE(view.conversions(), conversions + 1);
        conversions = view.conversions();
    }
}

TEST(VideoView, WithoutAFramePaintsThePalettesWindowColour) {
    FrameGrabber grabber;  // attached but empty
    for (FrameGrabber* attached : {static_cast<FrameGrabber*>(nullptr), &grabber}) {
        VideoView view;
        QPalette palette = view.palette();
        palette.setColor(QPalette::Window, QColor(12, 34, 56));
        view.setPalette(palette);
        view.SetGrabber(attached);
        view.resize(64, 48);
        QImage expected(64, 48, QImage::Format_RGB32);
        expected.fill(QColor(12, 34, 56));
        EXPECT_EQ(Painted(view), expected);
        EXPECT_EQ(view.conversions(), 0u);
    }
}

TEST(VideoView, CurrentImageIsABottomUpBitmapOfTheShownFrame) {
    FrameGrabber grabber;
    VideoView view;
    view.SetGrabber(&grabber);
    view.resize(160, 120);
    EXPECT_TRUE(view.GetCurrentImage().isEmpty());

    const auto shown = RandomFrame(3);
    Store(grabber, shown);
    Painted(view);
    Store(grabber, RandomFrame(4));  // not painted yet: not the current image

    const QByteArray dib = view.GetCurrentImage();
    ASSERT_EQ(dib.size(), 40 + 921600);
    // Size, width, height, planes and bits per pixel, compression, image bytes, then zeros; the
    // host is little-endian like the format.
    const uint32_t header[10] = {40, 640, 480, 1 | 24 << 16, 0, 921600, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(dib.constData(), header, sizeof header), 0);
    // The frame's last line first.
    std::vector<uint8_t> pixels(921600);
    ovistra::Yuy2ToRgb24(pixels.data(), shown.data() + 1280 * 479, 320, 480, 0, -2560);
    EXPECT_EQ(std::memcmp(dib.constData() + 40, pixels.data(), pixels.size()), 0);
}

TEST(VideoView, KeepsShowingFramesAfterMovingToAnotherParent) {
    FrameGrabber grabber;
    QWidget small, large;
    small.resize(320, 240);
    large.resize(960, 540);
    ShowAndSettle(small);
    ShowAndSettle(large);
    VideoView view(&small);
    view.setGeometry(0, 0, 320, 240);
    view.SetGrabber(&grabber);
    view.show();
    Store(grabber, RandomFrame(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.conversions() == 1; }));

    view.setParent(&large);
    view.setGeometry(10, 20, 900, 500);
    view.show();
    const auto frame = RandomFrame(6);
    std::thread streaming([&] { Store(grabber, frame); });
    streaming.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.conversions() == 2; }));
    EXPECT_EQ(Painted(view), Expected(frame, QSize(900, 500)));
}

TEST(VideoView, DetachingOrDestroyingWhileFramesArriveIsSafe) {
    FrameGrabber grabber;
    std::atomic<bool> running{true};
    std::thread streaming([&] {
        const auto frame = RandomFrame(7);
        while (running.load()) {
            Store(grabber, frame);
        }
    });
    for (int i = 0; i < 300; ++i) {
        auto view = std::make_unique<VideoView>();
        view->resize(32, 24);
        view->SetGrabber(&grabber);
        QApplication::processEvents();
        Painted(*view);
        if (i % 2 == 0) {
            view->SetGrabber(nullptr);
            // A detached view converts no further frame.
            const uint64_t detached = view->conversions();
            QApplication::processEvents();
            Painted(*view);
            EXPECT_EQ(view->conversions(), detached);
        }
        view.reset();  // the rest are destroyed still attached
        QApplication::processEvents();
    }
    running.store(false);
    streaming.join();
}

}  // namespace
