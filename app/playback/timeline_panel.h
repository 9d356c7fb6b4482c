// The playback dialog's timeline row: the timeline in place of the template's control 1102, the
// day shown, its previous and next day and the way back from a zoomed hour, and a line telling
// what lies under the pointer or that nothing was recorded where the user clicked.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <functional>
#include <vector>

#include "alarm_log_entry.h"
#include "record_info.h"
#include "timeline_model.h"

class QWidget;

namespace ovistra {

class PlaybackTimeline;
class ResourceLibrary;

class TimelinePanel : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeline = 1102;
    static constexpr int kPreviousDay = 1103;
    static constexpr int kDayLabel = 1104;
    static constexpr int kNextDay = 1105;
    static constexpr int kWholeDay = 1106;
    static constexpr int kStatusLine = 1107;

    using AlarmMarks = std::function<std::vector<alarms::AlarmLogEntry>()>;
    using Play = std::function<void(int row, const QDateTime& moment)>;

    // `resources` must outlive the panel; `alarmMarks` may be empty (no marks).
    TimelinePanel(QWidget* form, const ResourceLibrary& resources, AlarmMarks alarmMarks,
                  Play play, QObject* parent = nullptr);

    void ShowDay(const QDate& day);
    // The list's rows as they are now, row numbers as the list has them.
    void ShowRows(const std::vector<RecordInfo>& rows);
    PlaybackTimeline* timeline() const { return timeline_; }

private:
    alarms::TimelineEntry EntryOf(const RecordInfo& row, int index) const;
    void ShowWindow();
    void Say(const QString& text);

    const ResourceLibrary& resources_;
    QWidget* form_;
    AlarmMarks alarmMarks_;
    Play play_;
    PlaybackTimeline* timeline_ = nullptr;
};

}  // namespace ovistra
