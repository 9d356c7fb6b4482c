// The playback timeline with a year of recordings (10,000 rows, a few a day on each camera) and
// its alarms: the dialog's refill (rows to entries, the model, the first paint of a day at a
// typical size), a move to another day, and a hover, which repaints its line alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "playback_timeline.h"
#include "record_info.h"
#include "resource_library.h"
#include "timeline_panel.h"

namespace {

using namespace ovistra;

constexpr int kRows = 10000;
constexpr int kAlarms = 3000;
const QDate kFirstDay(2026, 1, 1);
const QSize kSize(900, 140);

struct Year {
    std::vector<RecordInfo> rows;
    std::vector<alarms::AlarmLogEntry> alarms;
};

const Year& TheYear() {
    static const Year year = [] {
        Year made;
        std::mt19937 random(7);
        const char* kinds[] = {"Manual", "Schedule", "Alarm"};
        const qint64 yearSeconds = 365LL * 24 * 3600;
        const QDateTime first(kFirstDay, QTime(0, 0));
        std::vector<qint64> starts(kRows);
        for (qint64& start : starts) {
            start = std::uniform_int_distribution<qint64>(0, yearSeconds - 4 * 3600)(random);
        }
        std::sort(starts.begin(), starts.end());
        for (qint64 start : starts) {
            const QDateTime from = first.addSecs(start);
            const QDateTime to =
                from.addSecs(std::uniform_int_distribution<int>(30, 3 * 3600)(random));
            RecordInfo row;
            row.path = QStringLiteral("/videos/Camera1/%1.avi").arg(start);
            row.camera = QString::number(std::uniform_int_distribution<int>(1, 4)(random));
            row.kind = kinds[std::uniform_int_distribution<int>(0, 2)(random)];
            row.startDate = from.toString(QStringLiteral("yy/MM/dd"));
            row.startTime = from.toString(QStringLiteral("HH:mm:ss"));
            row.endDate = to.toString(QStringLiteral("yy/MM/dd"));
            row.endTime = to.toString(QStringLiteral("HH:mm:ss"));
            made.rows.push_back(row);
        }
        for (int i = 0; i < kAlarms; ++i) {
            const QDateTime at = first.addSecs(
                std::uniform_int_distribution<qint64>(0, yearSeconds - 3600)(random));
            const int camera = std::uniform_int_distribution<int>(1, 4)(random);
            made.alarms.push_back({alarms::AlarmLogEntry::Kind::Start, at, camera, {}, {}});
            made.alarms.push_back({alarms::AlarmLogEntry::Kind::End, at.addSecs(90), camera, {}, {}});
        }
        return made;
    }();
    return year;
}

// The dialog's timeline row on a bare form, with the station's texts.
struct Panel {
    Panel() {
        QString error;
        resources = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        auto* layout = new QVBoxLayout(&form);
        auto* placeholder = new QWidget(&form);
        placeholder->setObjectName(QStringLiteral("id%1").arg(TimelinePanel::kTimeline));
        placeholder->setProperty("controlId", TimelinePanel::kTimeline);
        layout->addWidget(placeholder);
        panel = std::make_unique<TimelinePanel>(
            &form, *resources, [] { return TheYear().alarms; }, [](int, const QDateTime&) {});
        panel->timeline()->setFixedSize(kSize);
        form.show();
        QApplication::processEvents();
    }
    QWidget form;
    std::unique_ptr<ResourceLibrary> resources;
    std::unique_ptr<TimelinePanel> panel;
};

// Rows to entries, the model of the year, its alarms, and a day painted.
void BM_TimelineRefillAndPaint(benchmark::State& state) {
    Panel panel;
    QImage image(kSize, QImage::Format_RGB32);
    int day = 0;
    for (auto _ : state) {
        panel.panel->ShowDay(kFirstDay.addDays(day++ % 365));
        panel.panel->ShowRows(TheYear().rows);
        panel.panel->timeline()->render(&image);
    }
    state.counters["bars"] = static_cast<double>(panel.panel->timeline()->model().bars().size());
}

// Another day of the same rows, as the day buttons show it.
void BM_TimelineDayAndPaint(benchmark::State& state) {
    Panel panel;
    panel.panel->ShowRows(TheYear().rows);
    QImage image(kSize, QImage::Format_RGB32);
    int day = 0;
    for (auto _ : state) {
        panel.panel->ShowDay(kFirstDay.addDays(day++ % 365));
        panel.panel->timeline()->render(&image);
    }
    if (const char* path = std::getenv("OVISTRA_BENCH_TIMELINE_PNG")) {
        image.save(QString::fromLocal8Bit(path));  // to look at what was painted
    }
}

// The pointer moves a pixel: the hover text, and the two line strips repainted.
void BM_TimelineHoverRepaint(benchmark::State& state) {
    Panel panel;
    panel.panel->ShowDay(kFirstDay.addDays(180));
    panel.panel->ShowRows(TheYear().rows);
    PlaybackTimeline& timeline = *panel.panel->timeline();
    QImage image(kSize, QImage::Format_RGB32);
    timeline.render(&image);
    int x = 0;
    for (auto _ : state) {
        const QRegion dirty =
            timeline.HoverAt(QPoint(100 + x++ % 700, kSize.height() / 2));
        timeline.render(&image, dirty.boundingRect().topLeft(), dirty);
    }
}

BENCHMARK(BM_TimelineRefillAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimelineDayAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimelineHoverRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
