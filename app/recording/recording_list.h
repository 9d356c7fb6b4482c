// The recording list and its file "fileinfo.dat" in the program folder: loaded at start,
// rewritten whole after every change, never left half written.
#pragma once

#include <QString>
#include <vector>

#include "record_info.h"

namespace ovistra {
namespace platform {
class DurableWriter;
}

class RecordingList {
public:
    struct LoadResult {
        bool damaged = false;     // the file was damaged; its whole entries were kept
        QString keptAside;        // where the damaged file's bytes were kept
        bool unreadable = false;  // the file is there but could not be read; a new list started
        QString movedAside;       // where the unreadable file now lies; empty when it could
                                  // not be moved, and the list then refuses to save over it
    };

    // `programFolder` ends with "/".
    explicit RecordingList(QString programFolder);

    // Reads the list; a missing file is an empty list. A damaged file's bytes are kept aside
    // ("fileinfo.dat.bad", numbered when that exists) before anything rewrites it. A file that
    // is there but cannot be read is moved aside untouched ("fileinfo.dat.unreadable",
    // numbered likewise) and the list starts empty.
    LoadResult Load();

    // Writes the whole list to a temporary file, syncs it, renames it over the list and syncs
    // the folder, so a crash leaves either the old list or the new one. False when it failed,
    // or when an unreadable list could not be moved aside; the old file is then untouched.
    // With a writer, all of that happens on the writer's thread, after whatever was asked of
    // it before.
    bool Save() const;
    void WriteThrough(platform::DurableWriter* writer) { writer_ = writer; }

    // True while an unreadable file holds the list's place: the entries live in memory only.
    bool saveRefused() const { return saveRefused_; }

    std::vector<RecordInfo>& entries() { return entries_; }
    const std::vector<RecordInfo>& entries() const { return entries_; }
    QString filePath() const;

private:
    QString programFolder_;
    std::vector<RecordInfo> entries_;
    platform::DurableWriter* writer_ = nullptr;
    bool saveRefused_ = false;
};

}  // namespace ovistra
