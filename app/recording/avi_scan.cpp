// The scan of a recording for its repair: the header, then every part's data list chunk by
// chunk, trusting no size a killed writer leaves as a placeholder.
#include <algorithm>

#include "avi_chunks.h"
#include "avi_repair.h"

namespace ovistra {
namespace {

using namespace avi;

constexpr uint32_t kHdrl = FourCc("hdrl");
constexpr uint32_t kStrl = FourCc("strl");
constexpr uint32_t kOdml = FourCc("odml");
constexpr uint32_t kAvih = FourCc("avih");
constexpr uint32_t kStrh = FourCc("strh");
constexpr uint32_t kDmlh = FourCc("dmlh");
// A header list is a few kilobytes; anything larger is no header of ours.
constexpr uint32_t kMaxHeaderList = 1 << 20;
constexpr size_t kMaxStreams = 16;
// What a picture's kind is read from: the start of its data, read with its chunk header.
constexpr size_t kKeyLookAhead = 256;
// The room the writer keeps for a large-file index starts "4 longs per entry, an index of
// indexes".
constexpr uint32_t kSuperIndexKind = 4;

struct ChunkHeader {
    uint32_t id = 0;
    uint32_t size = 0;
};

bool ReadU32(const AviByteReader& read, uint64_t offset, uint32_t* value) {
    uint8_t b[4];
    if (!read(offset, b, 4)) {
        return false;
    }
    *value = GetU32(b);
    return true;
}

bool ReadHeader(const AviByteReader& read, uint64_t offset, ChunkHeader* header) {
    uint8_t b[8];
    if (!read(offset, b, 8)) {
        return false;
    }
    header->id = GetU32(b);
    header->size = GetU32(b + 4);
    return true;
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
bool IsKeyPicture(const uint8_t* head, size_t n) {
    for (size_t i = 0; i + 4 < n; ++i) {
        if (head[i] == 0 && head[i + 1] == 0 && head[i + 2] == 1 && head[i + 3] == 0xB6) {
            return (head[i + 4] >> 6) == 0;
        }
    }
    return false;
}

// Zeros from `at` to the end: space the file system gave the file that its writer never filled.
bool RestIsZero(const AviByteReader& read, uint64_t at, uint64_t length) {
    uint8_t block[65536];
    while (at < length) {
        const size_t n = size_t(std::min<uint64_t>(sizeof(block), length - at));
        if (!read(at, block, n) ||
            std::any_of(block, block + n, [](uint8_t b) { return b != 0; })) {
            return false;
        }
        at += n;
    }
    return true;
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
    AviStream stream;
    const bool whole = ForEachChunk(read, begin, end, [&](uint64_t at, const ChunkHeader& chunk) {
        if (chunk.id == kStrh && chunk.size >= 48 && stream.strhOffset == 0) {
            stream.strhOffset = at + 8;
            return ReadU32(read, at + 8, &stream.type) && ReadU32(read, at + 12, &stream.handler) &&
                           ReadU32(read, at + 28, &stream.scale) &&
                           ReadU32(read, at + 32, &stream.rate) &&
                           ReadU32(read, at + 52, &stream.sampleSize)
                       ? Walk::Next
                       : Walk::Fail;
        }
        uint8_t head[12];
        if ((chunk.id == kIndx || chunk.id == kJunk) && chunk.size >= kSuperIndexHeader &&
            stream.superIndexBytes == 0) {
            if (!read(at + 8, head, sizeof(head))) {
                return Walk::Fail;
            }
            if (GetU32(head) == kSuperIndexKind) {
                stream.superIndexOffset = at + 8;
                stream.superIndexBytes = chunk.size;
                stream.chunkId = GetU32(head + 8);
            }
        }
        return Walk::Next;
    });
    if (!whole || stream.strhOffset == 0) {
        return false;
    }
    layout->streams.push_back(stream);
    return true;
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

// The data lists of every part, from the first part's to the end of what was written whole:
// data chunks, padding, the parts' own indexes, the first part's index and the next part's
// header. Anything else stops the walk as foreign.
class PartWalk {
public:
    PartWalk(const AviByteReader& read, uint64_t length, AviLayout& layout)
        : read_(read), length_(length), layout_(layout) {}

    void Run() {
        AviPart part = NewPart(0, layout_.moviOffset);
        bool closed = false;  // the first part's index was met: only its next part may follow
        uint8_t head[8 + kKeyLookAhead];
        for (uint64_t at = part.end; at + 8 <= length_;) {
            const size_t have = size_t(std::min<uint64_t>(sizeof(head), length_ - at));
            if (!read_(at, head, have)) {
                break;
            }
            const uint32_t id = GetU32(head);
            const uint32_t size = GetU32(head + 4);
            if (id == 0 && RestIsZero(read_, at, length_)) {
                break;
            }
            if (id == kRiff) {
                if (at + 24 > length_) {
                    break;  // a part header cut short
                }
                if (GetU32(head + 8) != kAvix || GetU32(head + 12) != kList ||
                    GetU32(head + 20) != kMovi || (layout_.parts.empty() && !closed)) {
                    return Foreign("an unknown part", at);
                }
                layout_.parts.push_back(std::move(part));
                part = NewPart(at, at + 12);
                closed = false;
                at = part.end;
                continue;
            }
            // An id of ours whose data runs past the end is torn: its data never reached the
            // disk. Any other id is foreign, whatever its size says.
            const uint64_t next = at + 8 + Padded(size);
            const bool torn = next > length_;
            if (id == kJunk) {
                if (torn) {
                    break;
                }
                part.end = closed ? part.end : next;
                at = next;
                continue;
            }
            if (closed) {
                return Foreign("an unknown chunk after the index", at);
            }
            const int indexed = IndexedStream(id);
            const int stream = StreamDigits(id, 0);
            if ((id != kIdx1 || !layout_.parts.empty()) &&
                (indexed < 0 || size_t(indexed) >= part.indexes.size()) &&
                (stream < 0 || size_t(stream) >= layout_.streams.size())) {
                return Foreign("an unknown chunk", at);
            }
            if (torn) {
                break;
            }
            if (id == kIdx1) {
                layout_.idx1Offset = at;
                closed = true;
                at = next;
                continue;
            }
            if (indexed >= 0) {
                part.indexes[size_t(indexed)] = {at, static_cast<uint32_t>(8 + size)};
                part.end = next;
                at = next;
                continue;
            }
            AddData(layout_.streams[size_t(stream)], id, at, size, head + 8, have - 8);
            ++part.entries;
            part.dataEnd = part.end = next;
            at = next;
        }
        layout_.parts.push_back(std::move(part));
    }

private:
    AviPart NewPart(uint64_t riff, uint64_t movi) const {
        AviPart part;
        part.riffOffset = riff;
        part.moviOffset = movi;
        part.dataEnd = part.end = movi + 12;
        part.firstEntry = layout_.index.size();
        part.indexes.resize(layout_.streams.size());
        return part;
    }

    void AddData(AviStream& s, uint32_t id, uint64_t at, uint32_t size, const uint8_t* data,
                 size_t have) {
        uint32_t flags = 0;
        if (s.type == kVids) {
            const bool key =
                !IsMpeg4Part2(s.handler) || IsKeyPicture(data, std::min<size_t>(have, size));
            flags = kPictureChunk | (key ? kKeyFrame : 0);
        }
        ++s.chunks;
        s.bytes += size;
        s.chunkId = id;
        layout_.index.push_back({id, flags, at, size});
    }

    void Foreign(const char* what, uint64_t at) {
        layout_.foreign = QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(at);
    }

    const AviByteReader& read_;
    const uint64_t length_;
    AviLayout& layout_;
};

}  // namespace

uint32_t AviLayout::VideoFrames() const {
    for (const AviStream& s : streams) {
        if (s.type == kVids) {
            return s.chunks;
        }
    }
    return 0;
}

uint32_t AviLayout::VideoFramesIn(const AviPart& part) const {
    uint32_t frames = 0;
    for (size_t i = part.firstEntry; i < part.firstEntry + part.entries; ++i) {
        frames += (index[i].flags & kPictureChunk) != 0 ? 1 : 0;
    }
    return frames;
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
            PartWalk(read, length, layout).Run();
            // A last part cut off before its first chunk holds nothing to keep.
            if (layout.foreign.isEmpty() && layout.parts.size() > 1 &&
                layout.parts.back().entries == 0) {
                layout.parts.pop_back();
            }
            for (size_t p = 0; layout.foreign.isEmpty() && p + 1 < layout.parts.size(); ++p) {
                for (const AviPartIndex& index : layout.parts[p].indexes) {
                    if (index.offset == 0) {
                        layout.foreign = QStringLiteral("a part without its index at byte %1")
                                             .arg(layout.parts[p].riffOffset);
                    }
                }
            }
            if (!layout.foreign.isEmpty()) {
                return layout;
            }
            layout.dataEnd =
                layout.parts.size() == 1 ? layout.parts[0].end : layout.parts.back().dataEnd;
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

}  // namespace ovistra
