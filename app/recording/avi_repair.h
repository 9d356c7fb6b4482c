// Repair of a recording whose writer never finished (the station was killed, the machine lost
// power): what was written completely is kept, a torn last chunk is cut, and the index and the
// sizes the writer leaves for its end are filled in. Every read is bounded by the file's length.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ovistra {

// Reads `n` bytes at `offset`; false when they are not all there.
using AviByteReader = std::function<bool(uint64_t offset, void* into, size_t n)>;

struct AviStream {
    uint64_t strhOffset = 0;  // of the stream header's data
    uint32_t type = 0;        // 'vids', 'auds'
    uint32_t handler = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t sampleSize = 0;
    uint32_t chunks = 0;  // complete data chunks found
    uint64_t bytes = 0;   // their data bytes
};

struct AviIndexEntry {
    uint32_t fourcc = 0;
    uint32_t flags = 0;   // 0x10: a key picture
    uint32_t offset = 0;  // of the chunk's header, from the file's start (as the writer has it)
    uint32_t size = 0;
};

struct AviLayout {
    bool complete = false;  // the writer finished: an index follows the data
    uint64_t avihOffset = 0;
    uint64_t dmlhOffset = 0;  // 0: no extended header
    uint64_t moviOffset = 0;  // the "LIST" of the data list
    uint64_t dataEnd = 0;     // just past the last complete chunk
    std::vector<AviStream> streams;
    std::vector<AviIndexEntry> index;

    uint32_t VideoFrames() const;
    double Seconds() const;  // the video's length, from its frames and rate
};

// Reads the layout of a file of `length` bytes; empty, with the reason, when it is no AVI file
// this repair understands or holds no complete picture.
std::optional<AviLayout> ScanAvi(uint64_t length, const AviByteReader& read, QString* why);

struct AviRepairResult {
    // NotNow: the file is there but cannot be written at the moment (a full or read-only disk);
    // a later try redoes whatever this one cut or wrote.
    enum class Outcome { AlreadyComplete, Repaired, Unrepairable, NotNow };
    Outcome outcome = Outcome::Unrepairable;
    double seconds = 0;  // the length of what the file now holds
    QString why;         // when unrepairable or not now
};

// Repairs the file in place. Untouched when it is complete or cannot be repaired.
AviRepairResult RepairAviFile(const QString& path);

}  // namespace ovistra
