// The playback dialog's clips: "Clip start" and "Clip end" take the position on screen, "Export
// clip" writes what lies between them into the recording's "image" folder, beside the exported
// pictures, named by the clip's start ("clip-2026-12-09_18-40-02.avi"). The writing runs on a
// thread of its own; the dialog hears of the result on its own thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "clip_export.h"
#include "record_info.h"

namespace ovistra {

class CPlayback;

// A place in a recording: a file of its set (by name, so a set that changed meanwhile is
// noticed) and seconds into it.
struct ClipMark {
    QString recording;  // the listed recording's first file
    QString file;
    double seconds = 0;
};

// The pieces from `start` to `end` through the set's `files` in the order they were recorded
// (a circular set that wrapped is read from its oldest file on). Empty when the end does not
// lie after the start or a mark's file is not one of `files`.
std::vector<ClipPiece> PlanClip(const RecordInfo& entry, const QStringList& files,
                                const ClipMark& start, const ClipMark& end, const QDateTime& now);

// A free name in `folder` for a clip starting at `start`: "clip-<start>.avi", else with "-2",
// "-3"... before the extension; never an existing file's.
QString ClipFileName(const QString& folder, const QDateTime& start);

class PlaybackClip {
public:
    static constexpr int kStartButton = 1110;
    static constexpr int kEndButton = 1111;
    static constexpr int kExportButton = 1112;
    static constexpr int kLabel = 1113;  // the marks, then where the clip went

    // Connects the dialog's clip buttons; the dialog outlives this object.
    explicit PlaybackClip(CPlayback& dialog);

    void OnStart();
    void OnEnd();
    void OnExport();

private:
    std::optional<ClipMark> MarkHere() const;
    QString MomentText(const ClipMark& mark) const;
    void ShowMarks();
    void Refuse(int textId, const QString& reason);
    void Finished(const ClipResult& result);

    CPlayback& dialog_;
    std::optional<ClipMark> start_, end_;
    ClipExport exporter_;  // last: its thread ends before the rest goes
};

}  // namespace ovistra
