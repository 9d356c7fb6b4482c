#include "timeline_panel.h"

#include <QAbstractButton>
#include <QLabel>

#include "local_clock.h"
#include "playback_timeline.h"
#include "replace_control.h"
#include "resource_library.h"
#include "window_ids.h"

namespace ovistra {
namespace {

constexpr int kTextLane = 480;
constexpr int kTextAlarmMark = 481;
constexpr int kTextUnderPointer = 482;
constexpr int kTextRunning = 483;
constexpr int kTextNothingThere = 484;
constexpr int kTextZoomedDay = 485;

// "%y/%m/%d" and "%H:%M:%S" as the list stores them, two-digit years this century's. By hand:
// the library's parser with a format takes a large share of a refill of a year of rows.
int Number(const QString& text, int at) {
    const QChar tens = text[at], ones = text[at + 1];
    return tens.isDigit() && ones.isDigit() ? tens.digitValue() * 10 + ones.digitValue() : -1;
}

alarms::WallMs ListWallMs(const QString& date, const QString& time) {
    const bool shaped = date.size() == 8 && date[2] == u'/' && date[5] == u'/' &&
                        time.size() == 8 && time[2] == u':' && time[5] == u':';
    if (!shaped) {
        return alarms::kNoMoment;
    }
    const int year = Number(date, 0), month = Number(date, 3), day = Number(date, 6);
    const int hour = Number(time, 0), minute = Number(time, 3), second = Number(time, 6);
    if (year < 0) {
        return alarms::kNoMoment;
    }
    return alarms::ToWallMs(QDate(2000 + year, month, day), QTime(hour, minute, second));
}

}  // namespace

TimelinePanel::TimelinePanel(QWidget* form, const ResourceLibrary& resources,
                             AlarmMarks alarmMarks, Play play, QObject* parent)
    : QObject(parent),
      resources_(resources),
      form_(form),
      alarmMarks_(std::move(alarmMarks)),
      play_(std::move(play)) {
    timeline_ = ReplaceControl(form_, kTimeline, [](QWidget* old) {
        return new PlaybackTimeline(old->parentWidget());
    });
    if (!timeline_) {
        return;
    }
    PlaybackTimeline::Texts texts;
    for (int camera = 1; camera <= alarms::TimelineModel::kLanes; ++camera) {
        texts.lanes[static_cast<size_t>(camera - 1)] = resources_.Text(kTextLane).arg(camera);
    }
    texts.kinds = {resources_.Text(ids::kTextKindHand), resources_.Text(ids::kTextKindSchedule),
                   resources_.Text(ids::kTextKindAlarm)};
    texts.alarmMark = resources_.Text(kTextAlarmMark);
    texts.runningEnd = resources_.Text(kTextRunning);
    texts.underPointer = resources_.Text(kTextUnderPointer);
    timeline_->SetTexts(std::move(texts));

    connect(timeline_, &PlaybackTimeline::windowChanged, this, &TimelinePanel::ShowWindow);
    connect(timeline_, &PlaybackTimeline::hovered, this, &TimelinePanel::Say);
    connect(timeline_, &PlaybackTimeline::playRequested, this,
            [this](int row, const QDateTime& moment) {
                Say({});
                play_(row, moment);
            });
    connect(timeline_, &PlaybackTimeline::nothingAt, this,
            [this](int camera, const QDateTime& moment) {
                Say(resources_.Text(kTextNothingThere)
                        .arg(resources_.Text(kTextLane).arg(camera),
                             moment.toString(QStringLiteral("HH:mm:ss"))));
            });
    const std::pair<int, int> dayButtons[] = {{kPreviousDay, -1}, {kNextDay, 1}};
    for (const auto& [id, days] : dayButtons) {
        if (auto* button = qobject_cast<QAbstractButton*>(ResourceLibrary::FindControl(form_, id))) {
            connect(button, &QAbstractButton::clicked, this, [this, days = days] {
                ShowDay(timeline_->model().day().addDays(days));
            });
        }
    }
    if (auto* button =
            qobject_cast<QAbstractButton*>(ResourceLibrary::FindControl(form_, kWholeDay))) {
        connect(button, &QAbstractButton::clicked, this,
                [this] { ShowDay(timeline_->model().day()); });
    }
    ShowDay(platform::LocalNow().date());
}

void TimelinePanel::ShowDay(const QDate& day) {
    if (timeline_ && day.isValid()) {
        timeline_->ShowDay(day);
    }
}

alarms::TimelineEntry TimelinePanel::EntryOf(const RecordInfo& row, int index) const {
    alarms::TimelineEntry entry;
    entry.camera = row.camera.toInt();
    // Link recordings are listed with the hand kind's text, and show as such.
    entry.kind = row.kind == resources_.Text(ids::kTextKindAlarm)      ? alarms::RecordingKind::Alarm
                 : row.kind == resources_.Text(ids::kTextKindSchedule) ? alarms::RecordingKind::Schedule
                                                                       : alarms::RecordingKind::Hand;
    entry.start = ListWallMs(row.startDate, row.startTime);
    if (!row.StillRecording()) {
        entry.end = ListWallMs(row.endDate, row.endTime);
        // A damaged end is not taken for a recording still running.
        if (entry.end == alarms::kNoMoment) {
            entry.end = entry.start;
        }
    }
    entry.row = index;
    return entry;
}

void TimelinePanel::ShowRows(const std::vector<RecordInfo>& rows) {
    if (!timeline_) {
        return;
    }
    std::vector<alarms::TimelineEntry> entries;
    entries.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        entries.push_back(EntryOf(rows[i], static_cast<int>(i)));
    }
    timeline_->SetEntries(std::move(entries), platform::LocalNow());
    timeline_->SetAlarms(alarmMarks_ ? alarmMarks_() : std::vector<alarms::AlarmLogEntry>{});
}

void TimelinePanel::ShowWindow() {
    auto* label = qobject_cast<QLabel*>(ResourceLibrary::FindControl(form_, kDayLabel));
    if (!label) {
        return;
    }
    const alarms::TimelineModel& model = timeline_->model();
    const QString day = model.day().toString(QStringLiteral("ddd yyyy-MM-dd"));
    if (!model.zoomed()) {
        label->setText(day);
        return;
    }
    const QString format = QStringLiteral("HH:mm");
    label->setText(resources_.Text(kTextZoomedDay)
                       .arg(day, model.windowStart().toString(format),
                            model.windowStart().addMSecs(model.windowMs()).toString(format)));
}

void TimelinePanel::Say(const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(ResourceLibrary::FindControl(form_, kStatusLine))) {
        label->setText(text);
    }
}

}  // namespace ovistra
