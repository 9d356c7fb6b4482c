#include "recorded_file_list.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "recording_files.h"
#include "recording_list.h"

namespace ovistra {

QString SizeLine(const InfoTexts& texts, qint64 bytes) {
    return QStringLiteral("%1         : %2 MB\n")
        .arg(texts.size)
        .arg(static_cast<double>(bytes) / 1048576.0, 0, 'f', 3);
}

QString InformationText(const InfoTexts& texts, const RecordInfo& entry, int setPosition,
                        const QString& playingFile, qint64 bytes, double lengthSeconds) {
    QString text = texts.file + QStringLiteral(" : ") + QFileInfo(playingFile).fileName();
    if (entry.lastIndex > 0) {
        const int n = setPosition + 1;
        text += QStringLiteral("  (The %1%2 circular REC file)").arg(n).arg(CircularOrdinal(n));
    }
    text += QLatin1Char('\n') + SizeLine(texts, bytes);
    text += QStringLiteral("%1 : %2; %3\n").arg(texts.start, entry.startDate, entry.startTime);
    text += QStringLiteral("%1 : %2; %3\n").arg(texts.end, entry.endDate, entry.endTime);
    const qint64 seconds =
        std::isfinite(lengthSeconds) && lengthSeconds > 0 ? std::llround(lengthSeconds) : 0;
    text += QStringLiteral("%1 :  %2 %3; %4 %5; %6 %7")
                .arg(texts.length)
                .arg(seconds / 3600)
                .arg(texts.hours)
                .arg(seconds / 60 % 60)
                .arg(texts.minutes)
                .arg(seconds % 60)
                .arg(texts.seconds);
    return text;
}

RecordedFileList::RecordedFileList(RecordingList& list, BeingWritten beingWritten)
    : list_(list), beingWritten_(std::move(beingWritten)) {}

void RecordedFileList::Fill(const RecordingFilter& filter) {
    filter_ = filter;
    rows_.clear();
    for (const RecordInfo& entry : list_.entries()) {
        if (filter.Accepts(entry)) {
            rows_.push_back(entry);
        }
    }
}

std::optional<RecordInfo> RecordedFileList::EntryOf(const QString& path) const {
    const std::vector<RecordInfo>& entries = list_.entries();
    const auto found = std::find_if(entries.rbegin(), entries.rend(),
                                    [&](const RecordInfo& entry) { return entry.path == path; });
    return found != entries.rend() ? std::optional(*found) : std::nullopt;
}

RecordInfo RecordedFileList::Entry(int row) const {
    return EntryOf(rows_[row].path).value_or(rows_[row]);
}

bool RecordedFileList::StillWritten(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) && beingWritten_ &&
           beingWritten_(rows_[row].path);
}

RecordedFileList::Removal RecordedFileList::Delete(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return Removal::NoSuchRow;
    }
    if (StillWritten(row)) {
        return Removal::StillRecording;
    }
    // The files the entry names, found before the entry goes.
    const QStringList files = RecordingFiles(Entry(row));
    for (const QString& file : files) {
        QFile::remove(file);
    }
    Forget(row);
    return Removal::Removed;
}

void RecordedFileList::Forget(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return;
    }
    RemoveEntry(rows_[row].path);
    rows_.erase(rows_.begin() + row);
}

void RecordedFileList::RemoveEntry(const QString& path) {
    std::vector<RecordInfo>& entries = list_.entries();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const RecordInfo& entry) { return entry.path == path; });
    if (found != entries.end()) {
        entries.erase(found);
    }
}

bool RecordedFileList::Save() const {
    return list_.Save();
}

}  // namespace ovistra
