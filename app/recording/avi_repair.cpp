#include "avi_repair.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstring>

namespace ovistra {
namespace {

constexpr uint32_t FourCc(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
           uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

constexpr uint32_t kRiff = FourCc("RIFF");
constexpr uint32_t kAvi = FourCc("AVI ");
constexpr uint32_t kList = FourCc("LIST");
constexpr uint32_t kHdrl = FourCc("hdrl");
constexpr uint32_t kStrl = FourCc("strl");
constexpr uint32_t kOdml = FourCc("odml");
constexpr uint32_t kMovi = FourCc("movi");
constexpr uint32_t kAvih = FourCc("avih");
constexpr uint32_t kStrh = FourCc("strh");
constexpr uint32_t kDmlh = FourCc("dmlh");
constexpr uint32_t kIdx1 = FourCc("idx1");
constexpr uint32_t kVids = FourCc("vids");
// The writer's own index flags: a picture chunk is 0x02, a key picture 0x12, sound 0.
constexpr uint32_t kPictureChunk = 0x02;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kHasIndex = 0x10;
// A header list is a few kilobytes; anything larger is no header of ours.
constexpr uint32_t kMaxHeaderList = 1 << 20;
constexpr size_t kMaxStreams = 16;
// The classic index addresses 32 bits: the file must stay below 4 GiB.
constexpr uint64_t kMaxFileBytes = 0xFFFFFFF0ull;

struct ChunkHeader {
    uint32_t id = 0;
    uint32_t size = 0;
};

bool ReadU32(const AviByteReader& read, uint64_t offset, uint32_t* value) {
    uint8_t b[4];
    if (!read(offset, b, 4)) {
        return false;
    }
    *value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool ReadHeader(const AviByteReader& read, uint64_t offset, ChunkHeader* header) {
    return ReadU32(read, offset, &header->id) && ReadU32(read, offset + 4, &header->size);
}

uint64_t Padded(uint32_t size) {
    return uint64_t(size) + (size & 1u);
}

// A data chunk's id: two stream digits and a two-letter kind ("00dc", "01wb"), or padding.
int StreamOf(uint32_t id) {
    const char c0 = char(id & 0xFF);
    const char c1 = char((id >> 8) & 0xFF);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') {
        return -1;
    }
    return (c0 - '0') * 10 + (c1 - '0');
}

bool IsMpeg4Part2(uint32_t handler) {
    for (const uint32_t known : {FourCc("DIVX"), FourCc("divx"), FourCc("XVID"), FourCc("xvid"),
                                 FourCc("FMP4"), FourCc("fmp4"), FourCc("MP4V"), FourCc("mp4v")}) {
        if (handler == known) {
            return true;
        }
    }
    return false;
}

// An MPEG-4 Part 2 picture is a key picture when its first picture header says "intra".
bool IsKeyPicture(const AviByteReader& read, uint64_t data, uint32_t size) {
    uint8_t head[256];
    const size_t n = std::min<size_t>(sizeof(head), size);
    if (!read(data, head, n)) {
        return false;
    }
    for (size_t i = 0; i + 4 < n; ++i) {
        if (head[i] == 0 && head[i + 1] == 0 && head[i + 2] == 1 && head[i + 3] == 0xB6) {
            return (head[i + 4] >> 6) == 0;
        }
    }
    return false;
}

enum class Walk { Next, Done, Fail };

// Visits the chunks of [begin, end) in order until `visit` says Done; false when a chunk does
// not lie whole within the range or `visit` fails.
template <typename Visit>
bool ForEachChunk(const AviByteReader& read, uint64_t begin, uint64_t end, Visit visit) {
    for (uint64_t at = begin; at + 8 <= end;) {
        ChunkHeader chunk;
        if (!ReadHeader(read, at, &chunk) || at + 8 + chunk.size > end) {
            return false;
        }
        const Walk step = visit(at, chunk);
        if (step != Walk::Next) {
            return step == Walk::Done;
        }
        at += 8 + Padded(chunk.size);
    }
    return true;
}

bool ScanStreamList(const AviByteReader& read, uint64_t begin, uint64_t end, AviLayout* layout) {
    const size_t before = layout->streams.size();
    const bool whole = ForEachChunk(read, begin, end, [&](uint64_t at, const ChunkHeader& chunk) {
        if (chunk.id != kStrh || chunk.size < 48) {
            return Walk::Next;
        }
        AviStream stream;
        stream.strhOffset = at + 8;
        if (!ReadU32(read, at + 8, &stream.type) || !ReadU32(read, at + 12, &stream.handler) ||
            !ReadU32(read, at + 28, &stream.scale) || !ReadU32(read, at + 32, &stream.rate) ||
            !ReadU32(read, at + 52, &stream.sampleSize)) {
            return Walk::Fail;
        }
        layout->streams.push_back(stream);
        return Walk::Done;
    });
    return whole && layout->streams.size() > before;
}

bool ScanHeaderList(const AviByteReader& read, uint64_t begin, uint64_t end, AviLayout* layout) {
    const bool whole = ForEachChunk(read, begin, end, [&](uint64_t at, const ChunkHeader& chunk) {
        if (chunk.id == kAvih && chunk.size >= 40) {
            layout->avihOffset = at + 8;
            return Walk::Next;
        }
        uint32_t type = 0;
        if (chunk.id != kList || chunk.size < 4) {
            return Walk::Next;
        }
        if (!ReadU32(read, at + 8, &type)) {
            return Walk::Fail;
        }
        if (type == kStrl) {
            return layout->streams.size() < kMaxStreams &&
                           ScanStreamList(read, at + 12, at + 8 + chunk.size, layout)
                       ? Walk::Next
                       : Walk::Fail;
        }
        ChunkHeader dmlh;
        if (type == kOdml && chunk.size >= 16 && ReadHeader(read, at + 12, &dmlh) &&
            dmlh.id == kDmlh && dmlh.size >= 4 &&
            12 + 8 + uint64_t(dmlh.size) <= 8 + uint64_t(chunk.size)) {
            layout->dmlhOffset = at + 20;
        }
        return Walk::Next;
    });
    return whole && layout->avihOffset != 0 && !layout->streams.empty();
}

// The data chunks written completely, from the data list's start to the first torn or foreign
// chunk.
void ScanData(const AviByteReader& read, uint64_t begin, uint64_t length, AviLayout* layout) {
    uint64_t at = begin;
    layout->dataEnd = at;
    while (at + 8 <= length) {
        ChunkHeader chunk;
        if (!ReadHeader(read, at, &chunk)) {
            break;
        }
        const uint64_t next = at + 8 + Padded(chunk.size);
        if (next > length || next > kMaxFileBytes) {
            break;  // torn: its data never reached the disk
        }
        const int stream = StreamOf(chunk.id);
        if (chunk.id == FourCc("JUNK")) {
            at = next;
            layout->dataEnd = at;
            continue;
        }
        if (stream < 0 || size_t(stream) >= layout->streams.size()) {
            break;  // not data of ours: what follows is not trusted
        }
        AviStream& s = layout->streams[size_t(stream)];
        uint32_t flags = 0;
        if (s.type == kVids) {
            const bool key = !IsMpeg4Part2(s.handler) ||
                             (chunk.size > 0 && IsKeyPicture(read, at + 8, chunk.size));
            flags = kPictureChunk | (key ? kKeyFrame : 0);
        }
        ++s.chunks;
        s.bytes += chunk.size;
        layout->index.push_back({chunk.id, flags, static_cast<uint32_t>(at), chunk.size});
        at = next;
        layout->dataEnd = at;
    }
}

void PutU32(uint8_t* into, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        into[i] = uint8_t(value >> (8 * i));
    }
}

bool WriteU32(int fd, uint64_t offset, uint32_t value) {
    uint8_t b[4];
    PutU32(b, value);
    return pwrite(fd, b, 4, static_cast<off_t>(offset)) == 4;
}

}  // namespace

uint32_t AviLayout::VideoFrames() const {
    for (const AviStream& s : streams) {
        if (s.type == kVids) {
            return s.chunks;
        }
    }
    return 0;
}

double AviLayout::Seconds() const {
    for (const AviStream& s : streams) {
        if (s.type == kVids && s.rate != 0) {
            return double(s.chunks) * s.scale / s.rate;
        }
    }
    return 0;
}

std::optional<AviLayout> ScanAvi(uint64_t length, const AviByteReader& read, QString* why) {
    auto fail = [why](const char* reason) {
        if (why) {
            *why = QString::fromLatin1(reason);
        }
        return std::nullopt;
    };
    ChunkHeader riff;
    uint32_t form = 0;
    if (length < 12 || !ReadHeader(read, 0, &riff) || !ReadU32(read, 8, &form) ||
        riff.id != kRiff || form != kAvi) {
        return fail("not an AVI file");
    }
    AviLayout layout;
    for (uint64_t at = 12; at + 12 <= length;) {
        ChunkHeader chunk;
        uint32_t type = 0;
        if (!ReadHeader(read, at, &chunk) || !ReadU32(read, at + 8, &type)) {
            break;
        }
        if (chunk.id == kList && type == kMovi) {
            if (layout.avihOffset == 0) {
                return fail("no header before the pictures");
            }
            layout.moviOffset = at;
            // A finished writer's list size covers its data, and its index follows.
            const uint64_t declaredEnd = at + 8 + Padded(chunk.size);
            ChunkHeader after;
            if (chunk.size > 4 && declaredEnd + 8 <= length &&
                ReadHeader(read, declaredEnd, &after) && after.id == kIdx1) {
                layout.complete = true;
            }
            ScanData(read, at + 12, std::min(length, kMaxFileBytes), &layout);
            if (layout.VideoFrames() == 0) {
                return fail("no complete picture");
            }
            return layout;
        }
        if (chunk.id == kList && type == kHdrl) {
            if (chunk.size > kMaxHeaderList || at + 8 + chunk.size > length ||
                !ScanHeaderList(read, at + 12, at + 8 + chunk.size, &layout)) {
                return fail("a damaged header");
            }
        }
        at += 8 + Padded(chunk.size);
    }
    return fail("no pictures");
}

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
    // The index goes where the torn end was; then every size the writer left for its end.
    std::vector<uint8_t> index(8 + layout->index.size() * 16);
    PutU32(index.data(), kIdx1);
    PutU32(index.data() + 4, static_cast<uint32_t>(layout->index.size() * 16));
    for (size_t i = 0; i < layout->index.size(); ++i) {
        uint8_t* e = index.data() + 8 + i * 16;
        PutU32(e, layout->index[i].fourcc);
        PutU32(e + 4, layout->index[i].flags);
        PutU32(e + 8, layout->index[i].offset);
        PutU32(e + 12, layout->index[i].size);
    }
    const uint64_t end = layout->dataEnd + index.size();
    uint32_t avihFlags = 0;
    bool ok = end <= kMaxFileBytes && ftruncate(fd, static_cast<off_t>(layout->dataEnd)) == 0 &&
              pwrite(fd, index.data(), index.size(), static_cast<off_t>(layout->dataEnd)) ==
                  static_cast<ssize_t>(index.size()) &&
              WriteU32(fd, 4, static_cast<uint32_t>(end - 8)) &&
              WriteU32(fd, layout->moviOffset + 4,
                       static_cast<uint32_t>(layout->dataEnd - layout->moviOffset - 8)) &&
              ReadU32(read, layout->avihOffset + 12, &avihFlags) &&
              WriteU32(fd, layout->avihOffset + 12, avihFlags | kHasIndex) &&
              WriteU32(fd, layout->avihOffset + 16, layout->VideoFrames());
    for (const AviStream& s : layout->streams) {
        const uint64_t units =
            s.type == kVids || s.sampleSize == 0 ? s.chunks : s.bytes / s.sampleSize;
        ok = ok && WriteU32(fd, s.strhOffset + 32, static_cast<uint32_t>(units));
    }
    if (layout->dmlhOffset != 0) {
        ok = ok && WriteU32(fd, layout->dmlhOffset, layout->VideoFrames());
    }
    ok = fdatasync(fd) == 0 && ok;
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
