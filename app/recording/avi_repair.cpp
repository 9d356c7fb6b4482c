#include "avi_repair.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>

#include "avi_chunks.h"

namespace ovistra {
namespace {

using namespace avi;

// The classic index addresses 32 bits: the first part must stay below 4 GiB, as must every
// later part, whose own index counts from the part's start.
constexpr uint64_t kMaxPartBytes = 0xFFFFFFF0ull;
constexpr uint32_t kNotKey = 0x80000000u;

// Positioned writes that stop at the first failure; each phase ends with the data on the disk,
// so a repair cut short by another crash never leaves a file that looks finished.
class FileWriter {
public:
    explicit FileWriter(int fd) : fd_(fd) {}

    void Bytes(uint64_t offset, const std::vector<uint8_t>& bytes) {
        ok_ = ok_ && pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                         static_cast<ssize_t>(bytes.size());
    }
    void U32(uint64_t offset, uint64_t value) {
        std::vector<uint8_t> b(4);
        PutU32(b.data(), static_cast<uint32_t>(value));
        Bytes(offset, b);
    }
    void Truncate(uint64_t length) { ok_ = ok_ && ftruncate(fd_, static_cast<off_t>(length)) == 0; }
    bool Sync() {
        ok_ = ok_ && fdatasync(fd_) == 0;
        return ok_;
    }

private:
    int fd_;
    bool ok_ = true;
};

// Appends little-endian values to a chunk being built.
struct ChunkBytes {
    std::vector<uint8_t> bytes;
    void U32(uint32_t value) {
        bytes.resize(bytes.size() + 4);
        PutU32(bytes.data() + bytes.size() - 4, value);
    }
    void U64(uint64_t value) {
        U32(static_cast<uint32_t>(value));
        U32(static_cast<uint32_t>(value >> 32));
    }
};

std::vector<uint8_t> ClassicIndex(const AviLayout& layout, const AviPart& part) {
    ChunkBytes out;
    out.U32(kIdx1);
    out.U32(static_cast<uint32_t>(part.entries * 16));
    for (size_t i = part.firstEntry; i < part.firstEntry + part.entries; ++i) {
        const AviIndexEntry& e = layout.index[i];
        out.U32(e.fourcc);
        out.U32(e.flags);
        out.U32(static_cast<uint32_t>(e.offset));
        out.U32(e.size);
    }
    return out.bytes;
}

bool IsVideo(const AviStream& s) {
    return s.type == kVids;
}

// The length a stream's header gives: pictures, or sound in its sample size.
uint64_t Units(const AviStream& s, uint64_t chunks, uint64_t bytes) {
    return IsVideo(s) || s.sampleSize == 0 ? chunks : bytes / s.sampleSize;
}

// The frame counts and lengths a finished writer leaves in the header.
void WriteCounts(FileWriter& w, const AviLayout& layout, uint32_t avihFlags) {
    w.U32(layout.avihOffset + 12, avihFlags | kHasIndex);
    w.U32(layout.avihOffset + 16, layout.VideoFramesIn(layout.parts[0]));
    for (const AviStream& s : layout.streams) {
        w.U32(s.strhOffset + 32, Units(s, s.chunks, s.bytes));
    }
    if (layout.dmlhOffset != 0) {
        w.U32(layout.dmlhOffset, layout.VideoFrames());
    }
}

struct SuperEntry {
    uint64_t offset = 0;
    uint32_t bytes = 0;
    uint32_t duration = 0;
};

// A part's standard index of one stream, as the writer lays it out: offsets of the data from
// the part's start, the top bit of a size marking a picture that is no key picture.
std::vector<uint8_t> StandardIndex(const AviLayout& layout, const AviPart& part, size_t stream) {
    const AviStream& s = layout.streams[stream];
    ChunkBytes out;
    out.U32(FourCc("ix00") + uint32_t(stream / 10) * (1u << 16) +
            uint32_t(stream % 10) * (1u << 24));
    out.U32(0);
    out.U32(2 | 1u << 24);  // two longs per entry, an index of chunks
    out.U32(0);
    out.U32(s.chunkId);
    out.U64(part.riffOffset);
    out.U32(0);
    uint32_t entries = 0;
    for (size_t i = part.firstEntry; i < part.firstEntry + part.entries; ++i) {
        const AviIndexEntry& e = layout.index[i];
        if (StreamDigits(e.fourcc, 0) != int(stream)) {
            continue;
        }
        const bool key = !IsVideo(s) || (e.flags & kKeyFrame) != 0;
        out.U32(static_cast<uint32_t>(e.offset + 8 - part.riffOffset));
        out.U32(e.size | (key ? 0 : kNotKey));
        ++entries;
    }
    PutU32(out.bytes.data() + 4, static_cast<uint32_t>(out.bytes.size() - 8));
    PutU32(out.bytes.data() + 12, entries);
    return out.bytes;
}

uint32_t Duration(const AviLayout& layout, const AviPart& part, size_t stream) {
    uint64_t chunks = 0;
    uint64_t bytes = 0;
    for (size_t i = part.firstEntry; i < part.firstEntry + part.entries; ++i) {
        if (StreamDigits(layout.index[i].fourcc, 0) == int(stream)) {
            ++chunks;
            bytes += layout.index[i].size;
        }
    }
    return static_cast<uint32_t>(Units(layout.streams[stream], chunks, bytes));
}

std::vector<uint8_t> SuperIndex(const AviStream& s, const std::vector<SuperEntry>& entries) {
    const size_t room = (s.superIndexBytes - kSuperIndexHeader) / kSuperIndexEntry;
    const size_t used = std::min(room, entries.size());
    ChunkBytes out;
    out.U32(4);  // four longs per entry, an index of indexes
    out.U32(static_cast<uint32_t>(used));
    out.U32(s.chunkId);
    for (int i = 0; i < 3; ++i) {
        out.U32(0);
    }
    for (size_t i = 0; i < used; ++i) {
        out.U64(entries[i].offset);
        out.U32(entries[i].bytes);
        out.U32(entries[i].duration);
    }
    out.bytes.resize(s.superIndexBytes, 0);
    return out.bytes;
}

// One part: the index after its data, the header's counts and sizes.
bool RepairOnePart(FileWriter& w, const AviLayout& layout, uint32_t avihFlags) {
    const AviPart& part = layout.parts[0];
    const std::vector<uint8_t> index = ClassicIndex(layout, part);
    const uint64_t end = part.end + index.size();
    w.Truncate(part.end);
    w.Bytes(part.end, index);
    WriteCounts(w, layout, avihFlags);
    if (!w.Sync()) {
        return false;
    }
    w.U32(4, end - 8);
    w.U32(layout.moviOffset + 4, part.end - layout.moviOffset - 8);
    return w.Sync();
}

// Several parts: the last part's indexes after its data, every later part's sizes, the
// large-file index of each stream, and last the first part's sizes, which mark the file
// finished.
bool RepairParts(FileWriter& w, const AviLayout& layout, uint32_t avihFlags, uint32_t idx1Size) {
    const AviPart& last = layout.parts.back();
    std::vector<std::vector<SuperEntry>> supers(layout.streams.size());
    std::vector<uint8_t> tail;
    for (size_t s = 0; s < layout.streams.size(); ++s) {
        for (size_t p = 0; p + 1 < layout.parts.size(); ++p) {
            const AviPartIndex& ix = layout.parts[p].indexes[s];
            supers[s].push_back({ix.offset, ix.bytes, Duration(layout, layout.parts[p], s)});
        }
        const std::vector<uint8_t> ix = StandardIndex(layout, last, s);
        supers[s].push_back({last.dataEnd + tail.size(), static_cast<uint32_t>(ix.size()),
                             Duration(layout, last, s)});
        tail.insert(tail.end(), ix.begin(), ix.end());
    }
    w.Truncate(last.dataEnd);
    w.Bytes(last.dataEnd, tail);
    for (size_t p = 1; p < layout.parts.size(); ++p) {
        const AviPart& part = layout.parts[p];
        const uint64_t end = p + 1 < layout.parts.size() ? part.end : last.dataEnd + tail.size();
        w.U32(part.riffOffset + 4, end - part.riffOffset - 8);
        w.U32(part.moviOffset + 4, end - part.moviOffset - 8);
    }
    if (!w.Sync()) {
        return false;
    }
    for (size_t s = 0; s < layout.streams.size(); ++s) {
        const AviStream& stream = layout.streams[s];
        w.U32(stream.superIndexOffset - 8, kIndx);
        w.Bytes(stream.superIndexOffset, SuperIndex(stream, supers[s]));
    }
    WriteCounts(w, layout, avihFlags);
    if (!w.Sync()) {
        return false;
    }
    w.U32(4, layout.idx1Offset + 8 + Padded(idx1Size) - 8);
    w.U32(layout.moviOffset + 4, layout.idx1Offset - layout.moviOffset - 8);
    return w.Sync();
}

// Why the parts cannot be repaired in place; empty when they can.
QString PartsUnfit(const AviLayout& layout) {
    if (layout.parts.size() == 1) {
        return layout.parts[0].end + 8 + layout.parts[0].entries * 16 > kMaxPartBytes
                   ? QStringLiteral("a first part past 4 GiB")
                   : QString();
    }
    for (const AviStream& s : layout.streams) {
        if (s.superIndexBytes < kSuperIndexHeader + kSuperIndexEntry) {
            return QStringLiteral("no room for the large-file index");
        }
    }
    for (const AviPart& part : layout.parts) {
        const uint64_t tail =
            &part == &layout.parts.back() ? 32 * layout.streams.size() + 8 * part.entries : 0;
        if (part.end + tail - part.riffOffset > kMaxPartBytes) {
            return QStringLiteral("a part past 4 GiB at byte %1").arg(part.riffOffset);
        }
    }
    return QString();
}

}  // namespace

AviRepairResult RepairAviFile(const QString& path) {
    AviRepairResult result;
    const QByteArray native = QFile::encodeName(path);
    const int fd = open(native.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        // Gone, or a link in its place, is final; a disk that refuses writing may not be.
        if (errno != ENOENT && errno != ELOOP && errno != ENOTDIR) {
            result.outcome = AviRepairResult::Outcome::NotNow;
        }
        result.why = QStringLiteral("cannot be opened");
        return result;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        result.why = QStringLiteral("cannot be opened");
        return result;
    }
    const uint64_t length = static_cast<uint64_t>(st.st_size);
    const AviByteReader read = [fd, length](uint64_t offset, void* into, size_t n) {
        if (offset > length || n > length - offset) {
            return false;
        }
        return pread(fd, into, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
    };
    const std::optional<AviLayout> layout = ScanAvi(length, read, &result.why);
    if (!layout) {
        close(fd);
        return result;
    }
    result.seconds = layout->Seconds();
    if (layout->complete) {
        close(fd);
        result.outcome = AviRepairResult::Outcome::AlreadyComplete;
        return result;
    }
    const QString unfit = layout->foreign.isEmpty() ? PartsUnfit(*layout) : layout->foreign;
    uint8_t words[8];
    const bool headerRead = read(layout->avihOffset + 12, words, 4) &&
                            (layout->idx1Offset == 0 || read(layout->idx1Offset + 4, words + 4, 4));
    if (!unfit.isEmpty() || !headerRead) {
        close(fd);
        result.outcome = AviRepairResult::Outcome::NotUnderstood;
        result.why = unfit.isEmpty() ? QStringLiteral("an unreadable header") : unfit;
        return result;
    }
    FileWriter writer(fd);
    const bool ok = layout->parts.size() == 1
                        ? RepairOnePart(writer, *layout, GetU32(words))
                        : RepairParts(writer, *layout, GetU32(words), GetU32(words + 4));
    close(fd);
    if (!ok) {
        result.outcome = AviRepairResult::Outcome::NotNow;
        result.why = QStringLiteral("cannot be written");
        return result;
    }
    result.outcome = AviRepairResult::Outcome::Repaired;
    return result;
}

}  // namespace ovistra
