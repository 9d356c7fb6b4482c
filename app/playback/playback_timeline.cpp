#include "playback_timeline.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace ovistra {
namespace {

using alarms::RecordingKind;
using alarms::TimelineModel;

constexpr int kNamesWidth = 64;
constexpr int kHeaderHeight = 16;
constexpr int kLegendHeight = 18;
constexpr int kRightMargin = 6;
constexpr int kBarInset = 3;
constexpr int kMinLabelGapPx = 44;
constexpr qint64 kMinuteMs = 60 * 1000;
// Label steps in minutes, finest first: the first that leaves room between labels is taken.
constexpr int kLabelSteps[] = {5, 10, 15, 30, 60, 120, 180, 240, 360, 720};

const QColor kLaneShades[] = {QColor(0xf2, 0xf2, 0xf2), QColor(0xe4, 0xe4, 0xe4)};
const QColor kTickColour(0xb0, 0xb0, 0xb0);
const QColor kHoverColour(0x20, 0x20, 0x20);

QString Clock(const QDateTime& moment, const QDate& day) {
    return moment.date() == day ? moment.toString(QStringLiteral("HH:mm:ss"))
                                : moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

PlaybackTimeline::PlaybackTimeline(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(kHeaderHeight + kLegendHeight + 4 * 16);
}

QColor PlaybackTimeline::KindColour(RecordingKind kind) {
    switch (kind) {
        case RecordingKind::Schedule:
            return {0x1a, 0x96, 0x41};
        case RecordingKind::Alarm:
            return {0xf0, 0x8c, 0x1e};
        case RecordingKind::Hand:
            break;
    }
    return {0x2c, 0x7b, 0xb6};
}

QColor PlaybackTimeline::AlarmColour() {
    return {0xd0, 0x10, 0x20};
}

void PlaybackTimeline::SetTexts(Texts texts) {
    texts_ = std::move(texts);
    ModelChanged();
}

void PlaybackTimeline::SetEntries(std::vector<alarms::TimelineEntry> entries,
                                  const QDateTime& now) {
    model_.SetEntries(std::move(entries), now);
    ModelChanged();
}

void PlaybackTimeline::SetAlarms(const std::vector<alarms::AlarmLogEntry>& log) {
    model_.SetAlarms(log);
    ModelChanged();
}

void PlaybackTimeline::ShowDay(const QDate& day) {
    model_.ShowDay(day);
    ModelChanged();
}

void PlaybackTimeline::ZoomAround(const QDateTime& moment) {
    model_.ZoomAround(moment);
    ModelChanged();
}

void PlaybackTimeline::ModelChanged() {
    still_ = QImage();
    update();
    emit windowChanged();
}

QRect PlaybackTimeline::Strip() const {
    return QRect(kNamesWidth, kHeaderHeight, std::max(1, width() - kNamesWidth - kRightMargin),
                 std::max(TimelineModel::kLanes, height() - kHeaderHeight - kLegendHeight));
}

QRect PlaybackTimeline::LaneRect(int camera) const {
    const QRect strip = Strip();
    const int top = strip.top() + strip.height() * (camera - 1) / TimelineModel::kLanes;
    const int bottom = strip.top() + strip.height() * camera / TimelineModel::kLanes;
    return QRect(strip.left(), top, strip.width(), bottom - top);
}

int PlaybackTimeline::LaneAt(int y) const {
    for (int camera = 1; camera <= TimelineModel::kLanes; ++camera) {
        const QRect lane = LaneRect(camera);
        if (y >= lane.top() && y <= lane.bottom()) {
            return camera;
        }
    }
    return 0;
}

double PlaybackTimeline::StripX(int x) const {
    // The middle of the pixel, so a point and the moment it shows map back onto each other.
    return x - Strip().left() + 0.5;
}

QPoint PlaybackTimeline::PointOf(int camera, const QDateTime& moment) const {
    const QRect lane = LaneRect(camera);
    const int x = static_cast<int>(std::floor(model_.XOf(moment, Strip().width())));
    return {lane.left() + std::clamp(x, 0, lane.width() - 1), lane.center().y()};
}

QString PlaybackTimeline::Describe(const QPoint& point) const {
    const QRect strip = Strip();
    const QDateTime moment = model_.MomentAt(StripX(point.x()), strip.width());
    const QString clock = Clock(moment, model_.day());
    const int camera = LaneAt(point.y());
    const alarms::TimelineBar* bar =
        camera ? model_.BarAt(StripX(point.x()), camera, strip.width()) : nullptr;
    if (!bar) {
        return camera ? QStringLiteral("%1  %2").arg(clock, texts_.lanes[camera - 1]) : clock;
    }
    return texts_.underPointer.arg(
        clock, texts_.lanes[camera - 1], texts_.kinds[static_cast<size_t>(bar->kind)],
        Clock(alarms::FromWallMs(bar->start), model_.day()),
        bar->running ? texts_.runningEnd : Clock(alarms::FromWallMs(bar->end), model_.day()));
}

QRegion PlaybackTimeline::HoverAt(const QPoint& point) {
    const QRect strip = Strip();
    const int x = strip.contains(point) ? point.x() : -1;
    QRegion dirty;
    if (x != hoverX_) {
        for (int at : {hoverX_, x}) {
            if (at >= 0) {
                dirty += QRect(at - 1, strip.top(), 3, strip.height());
            }
        }
        hoverX_ = x;
        update(dirty);
    }
    emit hovered(x >= 0 ? Describe(point) : QString());
    return dirty;
}

void PlaybackTimeline::paintEvent(QPaintEvent* event) {
    const qreal pixelRatio = devicePixelRatio();
    const QSize pixels = size() * pixelRatio;
    if (still_.size() != pixels) {
        still_ = QImage(pixels, QImage::Format_RGB32);
        still_.setDevicePixelRatio(pixelRatio);
        QPainter painter(&still_);
        PaintStatic(painter);
    }
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.drawImage(dirty, still_,
                      QRectF(QPointF(dirty.topLeft()) * pixelRatio, QSizeF(dirty.size()) * pixelRatio));
    if (hoverX_ >= 0) {
        const QRect strip = Strip();
        painter.fillRect(QRect(hoverX_, strip.top(), 1, strip.height()), kHoverColour);
    }
}

void PlaybackTimeline::PaintStatic(QPainter& painter) const {
    painter.fillRect(rect(), palette().window());
    const QRect strip = Strip();
    const double width = strip.width();
    for (int camera = 1; camera <= TimelineModel::kLanes; ++camera) {
        const QRect lane = LaneRect(camera);
        painter.fillRect(lane, kLaneShades[camera % 2]);
        painter.setPen(palette().windowText().color());
        painter.drawText(QRect(2, lane.top(), kNamesWidth - 4, lane.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, texts_.lanes[camera - 1]);
    }
    PaintTicks(painter);
    const double windowMs = static_cast<double>(model_.windowMs());
    auto xOf = [&](qint64 ms) { return static_cast<double>(ms) * width / windowMs; };
    for (const alarms::TimelineBar& bar : model_.bars()) {
        const QRect lane = LaneRect(bar.camera);
        const int left = static_cast<int>(std::floor(xOf(bar.fromMs)));
        const int right = std::max(left + 1, static_cast<int>(std::ceil(xOf(bar.toMs))));
        painter.fillRect(QRect(strip.left() + left, lane.top() + kBarInset, right - left,
                               lane.height() - 2 * kBarInset),
                         KindColour(bar.kind));
    }
    for (const alarms::TimelineMark& mark : model_.marks()) {
        const QRect lane = LaneRect(mark.camera);
        const int at = strip.left() + static_cast<int>(std::floor(xOf(mark.atMs)));
        painter.fillRect(QRect(at, lane.top(), 2, lane.height()), AlarmColour());
        if (mark.lengthMs > 0) {
            const int end = strip.left() + static_cast<int>(std::ceil(
                                               xOf(std::min<qint64>(mark.atMs + mark.lengthMs,
                                                                    model_.windowMs()))));
            painter.fillRect(QRect(at, lane.bottom() - 1, std::max(2, end - at), 2),
                             AlarmColour());
        }
    }
    PaintLegend(painter);
}

void PlaybackTimeline::PaintTicks(QPainter& painter) const {
    const QRect strip = Strip();
    const qint64 windowMs = model_.windowMs();
    if (windowMs <= 0) {
        return;
    }
    const double pxPerMinute = strip.width() * double(kMinuteMs) / double(windowMs);
    int stepMinutes = kLabelSteps[std::size(kLabelSteps) - 1];
    for (int step : kLabelSteps) {
        if (step * pxPerMinute >= kMinLabelGapPx) {
            stepMinutes = step;
            break;
        }
    }
    // Steps count from midnight, so the labels fall on round times.
    const qint64 stepMs = stepMinutes * kMinuteMs;
    const qint64 fromMidnight = alarms::ToWallMs(model_.windowStart()) % alarms::kDayMs;
    const QFontMetrics metrics(painter.font());
    painter.setPen(palette().windowText().color());
    for (qint64 at = (fromMidnight + stepMs - 1) / stepMs * stepMs; at <= fromMidnight + windowMs;
         at += stepMs) {
        const int x = strip.left() + static_cast<int>(std::floor(
                                         double(at - fromMidnight) * strip.width() / double(windowMs)));
        painter.fillRect(QRect(x, strip.top(), 1, strip.height()), kTickColour);
        const qint64 minutes = at / kMinuteMs;
        const QString label = QStringLiteral("%1:%2")
                                  .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                                  .arg(minutes % 60, 2, 10, QLatin1Char('0'));
        const int labelWidth = metrics.horizontalAdvance(label);
        const int left = std::clamp(x - labelWidth / 2, 0, std::max(0, width() - labelWidth));
        painter.drawText(QRect(left, 0, labelWidth, kHeaderHeight), Qt::AlignCenter, label);
    }
}

void PlaybackTimeline::PaintLegend(QPainter& painter) const {
    const QFontMetrics metrics(painter.font());
    int x = kNamesWidth;
    const int top = height() - kLegendHeight + 4;
    const int swatch = kLegendHeight - 8;
    auto item = [&](const QColor& colour, const QString& text) {
        painter.fillRect(QRect(x, top, swatch, swatch), colour);
        x += swatch + 4;
        painter.setPen(palette().windowText().color());
        painter.drawText(QRect(x, top - 3, metrics.horizontalAdvance(text) + 2, swatch + 6),
                         Qt::AlignVCenter | Qt::AlignLeft, text);
        x += metrics.horizontalAdvance(text) + 14;
    };
    for (RecordingKind kind : {RecordingKind::Hand, RecordingKind::Schedule, RecordingKind::Alarm}) {
        item(KindColour(kind), texts_.kinds[static_cast<size_t>(kind)]);
    }
    item(AlarmColour(), texts_.alarmMark);
}

void PlaybackTimeline::resizeEvent(QResizeEvent* event) {
    still_ = QImage();
    QWidget::resizeEvent(event);
}

void PlaybackTimeline::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int camera = LaneAt(point.y());
    if (event->button() != Qt::LeftButton || !camera || !Strip().contains(point)) {
        QWidget::mousePressEvent(event);
        return;
    }
    const double width = Strip().width();
    const QDateTime moment = model_.MomentAt(StripX(point.x()), width);
    if (const alarms::TimelineBar* bar = model_.BarAt(StripX(point.x()), camera, width)) {
        emit playRequested(bar->row, std::max(moment, alarms::FromWallMs(bar->start)));
    } else {
        emit nothingAt(camera, moment);
    }
}

void PlaybackTimeline::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (!Strip().contains(point)) {
        return;
    }
    if (model_.zoomed()) {
        ShowDay(model_.day());
    } else {
        ZoomAround(model_.MomentAt(StripX(point.x()), Strip().width()));
    }
}

void PlaybackTimeline::mouseMoveEvent(QMouseEvent* event) {
    HoverAt(event->position().toPoint());
}

void PlaybackTimeline::wheelEvent(QWheelEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->angleDelta().y() > 0 && !model_.zoomed() && Strip().contains(point)) {
        ZoomAround(model_.MomentAt(StripX(point.x()), Strip().width()));
    } else if (event->angleDelta().y() < 0 && model_.zoomed()) {
        ShowDay(model_.day());
    }
    event->accept();
}

void PlaybackTimeline::leaveEvent(QEvent* event) {
    HoverAt(QPoint(-1, -1));
    QWidget::leaveEvent(event);
}

}  // namespace ovistra
