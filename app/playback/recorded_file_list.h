// The playback dialog's recordings: the entries of the recording list a filter lets through,
// oldest first, with what the dialog says about one of them and how one leaves the list
// together with its files.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "record_info.h"
#include "recording_filter.h"

namespace ovistra {

class RecordingList;

// The texts the information lines are made of (the resource library's 102, 219..222, 232..234).
struct InfoTexts {
    QString file, size, start, end, length, hours, minutes, seconds;
};

// "<size text>         : 1.500 MB\n"
QString SizeLine(const InfoTexts& texts, qint64 bytes);

// What the dialog shows while a file of `entry` plays: its name (with its place in a circular
// set), size, start, end and the length the player reports (unknown counts as 0).
QString InformationText(const InfoTexts& texts, const RecordInfo& entry, int setPosition,
                        const QString& playingFile, qint64 bytes, double lengthSeconds);

class RecordedFileList {
public:
    // True while the station is still writing the recording whose first file is `path`.
    using BeingWritten = std::function<bool(const QString& path)>;

    // `list` must outlive this object.
    RecordedFileList(RecordingList& list, BeingWritten beingWritten);

    // The rows: every entry `filter` accepts, oldest first.
    void Fill(const RecordingFilter& filter);
    // The rows again by the last filter: recordings started or stopped since are as they are now.
    void Refill() { Fill(filter_); }
    const std::vector<RecordInfo>& rows() const { return rows_; }

    // The recording list's entry of the recording whose first file is `path`, as it is now: a
    // row copied while its recording ran does not know how it ended or how far its set went.
    std::optional<RecordInfo> EntryOf(const QString& path) const;
    // The row's entry as it is now; the row itself when its entry is gone.
    RecordInfo Entry(int row) const;
    bool StillWritten(int row) const;

    enum class Removal { Removed, StillRecording, NoSuchRow };

    // Removes the row, its entry and every file of its set as the entry now names them; a
    // recording still being written stays whole. A file that cannot be deleted is left; its entry
    // goes all the same.
    Removal Delete(int row);
    // Removes the row and its entry only, for a recording whose file is gone.
    void Forget(int row);

    // Writes the recording list; false when it could not.
    bool Save() const;

private:
    void RemoveEntry(const QString& path);

    RecordingList& list_;
    BeingWritten beingWritten_;
    RecordingFilter filter_;
    std::vector<RecordInfo> rows_;
};

}  // namespace ovistra
