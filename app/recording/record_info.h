// One entry of the recording list: where a recording is, which camera made it and why, and
// when it started and ended.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>

namespace ovistra {

struct RecordInfo {
    static constexpr const char* kRecordingEndDate = "5000";
    static constexpr const char* kRecordingEndTime = "00:00:00";

    QString path;       // the recording's (first) file
    QString camera;     // "1".."4"
    QString kind;       // text 195 (schedule), 194 (alarm) or 217 (by hand)
    QString stamp;      // text 210 (stamped) or 211
    QString startDate;  // "%y/%m/%d"
    QString startTime;  // "%H:%M:%S"
    QString endDate = QString::fromLatin1(kRecordingEndDate);
    QString endTime = QString::fromLatin1(kRecordingEndTime);
    int32_t lastIndex = 0;       // circular set: its highest file number
    int32_t lastFileLength = 0;  // circular set: 10-minute ticks in that file

    bool StillRecording() const { return endDate == QLatin1String(kRecordingEndDate); }
    bool operator==(const RecordInfo&) const = default;
};

// A day as the list stores it ("%y/%m/%d"); two-digit years are this century's, as the station
// writes them. Invalid when the text is not of that form.
inline QDate ListDay(const QString& date) {
    return QDate::fromString(date, QStringLiteral("yy/MM/dd")).addYears(100);
}

// A day and a time ("%H:%M:%S") as the list stores them, as a local moment.
inline QDateTime ListMoment(const QString& date, const QString& time) {
    return QDateTime(ListDay(date), QTime::fromString(time, QStringLiteral("HH:mm:ss")));
}

}  // namespace ovistra
