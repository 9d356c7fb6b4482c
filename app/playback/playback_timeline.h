// The playback dialog's day timeline: a lane per camera with the recordings as bars coloured by
// kind, the alarms as marks, hour ticks and a legend. A click asks to play the recording under
// the pointer from that moment; the wheel or a double click zooms to an hour and back.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "timeline_model.h"

namespace ovistra {

class PlaybackTimeline : public QWidget {
    Q_OBJECT

public:
    struct Texts {
        std::array<QString, alarms::TimelineModel::kLanes> lanes;  // camera names
        std::array<QString, 3> kinds;                              // hand, schedule, alarm
        QString alarmMark;
        QString runningEnd;  // the end of a recording still running
        QString underPointer;  // time, lane, kind, start, end
    };

    explicit PlaybackTimeline(QWidget* parent = nullptr);

    void SetTexts(Texts texts);
    void SetEntries(std::vector<alarms::TimelineEntry> entries, const QDateTime& now);
    void SetAlarms(const std::vector<alarms::AlarmLogEntry>& log);
    void ShowDay(const QDate& day);
    void ZoomAround(const QDateTime& moment);
    const alarms::TimelineModel& model() const { return model_; }

    // The point of lane `camera` showing `moment`.
    QPoint PointOf(int camera, const QDateTime& moment) const;
    // Moves the hover line to `point` (outside the strip: away) and tells what is there; the
    // region it asks to repaint is returned.
    QRegion HoverAt(const QPoint& point);

    static QColor KindColour(alarms::RecordingKind kind);
    static QColor AlarmColour();

signals:
    void playRequested(int row, const QDateTime& moment);
    void nothingAt(int camera, const QDateTime& moment);
    void hovered(const QString& text);
    void windowChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect Strip() const;  // the lanes' area, right of the names
    QRect LaneRect(int camera) const;
    int LaneAt(int y) const;  // 0: none
    double StripX(int x) const;
    QString Describe(const QPoint& point) const;
    void ModelChanged();
    void PaintStatic(QPainter& painter) const;
    void PaintTicks(QPainter& painter) const;
    void PaintLegend(QPainter& painter) const;

    alarms::TimelineModel model_;
    Texts texts_;
    QImage still_;   // everything but the hover line, drawn when the model or the size changes
    int hoverX_ = -1;
};

}  // namespace ovistra
