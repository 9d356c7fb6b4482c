// The picture browser with a run's worth of stills (500 full-size BMPs, as the station saves
// them): adding them one by one, and a scroll step with the five slots painted; beside it a
// browser that loads and scales its five pictures at every step. OVISTRA_BENCH_STILLS sets
// how many stills (the test run uses a few).
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "bench_frames.h"
#include "c_thumbnail_dlg.h"
#include "message_box.h"
#include "resource_library.h"
#include "still_picture.h"
#include "video_view.h"

namespace {

int StillCount() {
    const char* asked = std::getenv("OVISTRA_BENCH_STILLS");
    return std::clamp(asked ? std::atoi(asked) : 500, 6, 5000);
}

// The stills, each a different picture of the simulated scene, written once per run.
const QStringList& Stills() {
    static QTemporaryDir folder;
    static const QStringList paths = [] {
        QStringList written;
        const QDateTime start = QDateTime::currentDateTime();
        for (int i = 0; i < StillCount(); ++i) {
            const std::vector<uint8_t> frame = bench::Yuy2Frame(static_cast<uint32_t>(i));
            written << ovistra::SaveStill(folder.path(), start.addMSecs(i * 37),
                                          ovistra::media::VideoView::PackedBitmapOf(frame.data()));
        }
        return written;
    }();
    return paths;
}

std::unique_ptr<ovistra::ResourceLibrary> Resources() {
    QString error;
    return ovistra::ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
}

// The stills under new names (hard links) in `folder`: a browser may delete these.
QStringList LinkedStills(const QTemporaryDir& folder) {
    QStringList links;
    for (const QString& still : Stills()) {
        const QString link = QDir(folder.path()).filePath(QFileInfo(still).fileName());
        if (::link(QFile::encodeName(still).constData(), QFile::encodeName(link).constData()) ==
            0) {
            links << link;
        }
    }
    return links;
}

void BM_BrowserAddAll(benchmark::State& state) {
    const auto resources = Resources();
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<QTemporaryDir>();
        const QStringList stills = LinkedStills(*folder);
        auto browser =
            std::make_unique<ovistra::CThumbnailDlg>(*resources, ovistra::platform::WindowHandle());
        browser->show();
        QApplication::processEvents();  // shown and exposed: repaints paint from here on
        state.ResumeTiming();
        for (const QString& still : stills) {
            browser->AddPicture(still);
            browser->repaint();
        }
        state.PauseTiming();  // the browser's deletes are not measured
        browser.reset();
        folder.reset();
        state.ResumeTiming();
    }
    state.counters["stills"] = static_cast<double>(Stills().size());
}
BENCHMARK(BM_BrowserAddAll)->Unit(benchmark::kMillisecond);

void BM_BrowserScrollStep(benchmark::State& state) {
    const auto resources = Resources();
    const QTemporaryDir folder;
    ovistra::CThumbnailDlg browser(*resources, {});
    browser.show();
    QApplication::processEvents();  // shown and exposed: repaints paint from here on
    for (const QString& still : LinkedStills(folder)) {
        browser.AddPicture(still);
    }
    using ovistra::CThumbnailDlg;
    auto* back = qobject_cast<QAbstractButton*>(browser.Control(CThumbnailDlg::kBackButton));
    auto* forward = qobject_cast<QAbstractButton*>(browser.Control(CThumbnailDlg::kForwardButton));
    const ovistra::PictureList& pictures = browser.pictures();
    // Back through the whole list and forward again: every step shows a new picture.
    bool goingBack = true;
    for (auto _ : state) {
        if (goingBack && pictures.offset() == 0) {
            goingBack = false;
        } else if (!goingBack &&
                   pictures.offset() + ovistra::PictureList::kSlots >= pictures.count()) {
            goingBack = true;
        }
        (goingBack ? back : forward)->click();
        browser.repaint();
    }
}
BENCHMARK(BM_BrowserScrollStep)->Unit(benchmark::kMicrosecond);

// A browser without a thumbnail cache: five pictures loaded and scaled at every step.
void BM_Peer_QImageFiveThumbnails(benchmark::State& state) {
    const QStringList& stills = Stills();
    int offset = 0;
    for (auto _ : state) {
        for (int slot = 0; slot < ovistra::PictureList::kSlots; ++slot) {
            const QImage picture(stills[(offset + slot) % stills.size()]);
            benchmark::DoNotOptimize(
                picture.scaled(160, 119, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        }
        ++offset;
    }
}
BENCHMARK(BM_Peer_QImageFiveThumbnails)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ovistra::platform::MessageBoxes::Instance().Configure(
        ovistra::platform::MessageBoxes::Mode::Headless, {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
