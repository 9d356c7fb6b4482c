// Repair of a recording whose writer never finished (the station was killed, the machine lost
// power): what was written completely is kept, a torn last chunk is cut, and the index and the
// sizes the writer leaves for its end are filled in. Past 1 GiB the writer goes on in further
// "AVIX" parts, each with its own standard indexes; the repair keeps every part and writes the
// large-file index. A file holding anything the repair does not know is left as it is. Every
// read is bounded by the file's length.
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
    uint32_t chunkId = 0;           // "00db", "01wb"
    uint64_t superIndexOffset = 0;  // the data of its large-file index or of the room kept for it
    uint32_t superIndexBytes = 0;   // 0: no room for one
    uint32_t chunks = 0;            // complete data chunks found
    uint64_t bytes = 0;             // their data bytes
};

struct AviIndexEntry {
    uint32_t fourcc = 0;
    uint32_t flags = 0;   // 0x10: a key picture
    uint64_t offset = 0;  // of the chunk's header, from the file's start
    uint32_t size = 0;
};

// A standard index (ix##) a part already holds.
struct AviPartIndex {
    uint64_t offset = 0;  // of its chunk header; 0: none
    uint32_t bytes = 0;   // with its header
};

// The first part ("RIFF AVI ") or a later one ("RIFF AVIX").
struct AviPart {
    uint64_t riffOffset = 0;
    uint64_t moviOffset = 0;  // its "LIST movi"
    uint64_t dataEnd = 0;     // just past its last complete data chunk
    uint64_t end = 0;         // just past its last complete chunk (its indexes too)
    size_t firstEntry = 0;    // its chunks in the layout's index
    size_t entries = 0;
    std::vector<AviPartIndex> indexes;  // one per stream
};

struct AviLayout {
    bool complete = false;  // the writer finished: an index follows the first part's data
    uint64_t avihOffset = 0;
    uint64_t dmlhOffset = 0;  // 0: no extended header
    uint64_t moviOffset = 0;  // the "LIST" of the first part's data list
    uint64_t dataEnd = 0;     // just past the last complete chunk kept
    uint64_t idx1Offset = 0;  // the first part's index after its data; 0: none found
    std::vector<AviStream> streams;
    std::vector<AviPart> parts;
    std::vector<AviIndexEntry> index;
    QString foreign;  // what the repair does not understand, and where: the file stays as it is

    uint32_t VideoFrames() const;
    uint32_t VideoFramesIn(const AviPart& part) const;
    double Seconds() const;  // the video's length, from its frames and rate
};

// Reads the layout of a file of `length` bytes; empty, with the reason, when it is no AVI file
// this repair understands or holds no complete picture.
std::optional<AviLayout> ScanAvi(uint64_t length, const AviByteReader& read, QString* why);

struct AviRepairResult {
    // NotNow: the file is there but cannot be written at the moment (a full or read-only disk);
    // a later try redoes whatever this one cut or wrote. NotUnderstood: the file holds something
    // the repair does not know; it is left untouched for a later try.
    enum class Outcome { AlreadyComplete, Repaired, Unrepairable, NotNow, NotUnderstood };
    Outcome outcome = Outcome::Unrepairable;
    double seconds = 0;  // the length of what the file now holds
    QString why;         // when unrepairable, not now or not understood

    bool TryLater() const {
        return outcome == Outcome::NotNow || outcome == Outcome::NotUnderstood;
    }
};

// Repairs the file in place. Untouched when it is complete or cannot be repaired.
AviRepairResult RepairAviFile(const QString& path);

}  // namespace ovistra
