#include "recording_list_format.h"

#include <QtEndian>

namespace ovistra {
namespace {

constexpr uint16_t kLargeCount = 0xFFFF;
constexpr uint8_t kLongString = 0xFF;
constexpr uint16_t kLongerString = 0xFFFF;
// The smallest entry: eight empty strings (one byte each) and two integers.
constexpr qsizetype kSmallestEntryBytes = 8 + 2 * 4;

void PutU16(QByteArray& out, uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void PutU32(QByteArray& out, uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void PutString(QByteArray& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const auto size = static_cast<uint32_t>(bytes.size());
    if (size < kLongString) {
        out.append(static_cast<char>(size));
    } else {
        out.append(static_cast<char>(kLongString));
        if (size < kLongerString) {
            PutU16(out, static_cast<uint16_t>(size));
        } else {
            PutU16(out, kLongerString);
            PutU32(out, size);
        }
    }
    out.append(bytes);
}

// Reads forward through the bytes; any read past their end fails and leaves the reader failed.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}

    bool failed() const { return failed_; }
    qsizetype left() const { return bytes_.size() - at_; }

    uint32_t U8() { return Take(1) ? static_cast<uint8_t>(bytes_[at_ - 1]) : 0; }
    uint32_t U16() {
        return Take(2) ? qFromLittleEndian<uint16_t>(bytes_.constData() + at_ - 2) : 0;
    }
    uint32_t U32() {
        return Take(4) ? qFromLittleEndian<uint32_t>(bytes_.constData() + at_ - 4) : 0;
    }

    QString String() {
        uint32_t size = U8();
        if (size == kLongString) {
            size = U16();
            if (size == kLongerString) {
                size = U32();
            }
        }
        if (failed_ || !Take(size)) {
            return {};
        }
        return QString::fromUtf8(bytes_.constData() + at_ - size, static_cast<qsizetype>(size));
    }

private:
    bool Take(uint64_t count) {
        if (failed_ || count > static_cast<uint64_t>(left())) {
            failed_ = true;
            return false;
        }
        at_ += static_cast<qsizetype>(count);
        return true;
    }

    const QByteArray& bytes_;
    qsizetype at_ = 0;
    bool failed_ = false;
};

}  // namespace

QByteArray SerializeRecordingList(const std::vector<RecordInfo>& entries) {
    QByteArray out;
    if (entries.size() < kLargeCount) {
        PutU16(out, static_cast<uint16_t>(entries.size()));
    } else {
        PutU16(out, kLargeCount);
        PutU32(out, static_cast<uint32_t>(entries.size()));
    }
    for (const RecordInfo& e : entries) {
        for (const QString* text : {&e.path, &e.camera, &e.kind, &e.stamp, &e.startDate,
                                    &e.startTime, &e.endDate, &e.endTime}) {
            PutString(out, *text);
        }
        PutU32(out, static_cast<uint32_t>(e.lastIndex));
        PutU32(out, static_cast<uint32_t>(e.lastFileLength));
    }
    return out;
}

ParsedRecordingList ParseRecordingList(const QByteArray& bytes) {
    ParsedRecordingList parsed;
    Reader reader(bytes);
    uint32_t count = reader.U16();
    if (count == kLargeCount) {
        count = reader.U32();
    }
    if (reader.failed()) {
        parsed.damaged = !bytes.isEmpty();
        return parsed;
    }
    // A count the bytes cannot hold is damage; entries are read until the bytes run out.
    if (static_cast<uint64_t>(count) * kSmallestEntryBytes > static_cast<uint64_t>(reader.left())) {
        parsed.damaged = true;
    }
    for (uint32_t i = 0; i < count; ++i) {
        RecordInfo e;
        for (QString* text : {&e.path, &e.camera, &e.kind, &e.stamp, &e.startDate, &e.startTime,
                              &e.endDate, &e.endTime}) {
            *text = reader.String();
        }
        e.lastIndex = static_cast<int32_t>(reader.U32());
        e.lastFileLength = static_cast<int32_t>(reader.U32());
        if (reader.failed()) {
            parsed.damaged = true;
            return parsed;
        }
        parsed.entries.push_back(std::move(e));
    }
    if (reader.left() != 0) {
        parsed.damaged = true;
    }
    return parsed;
}

}  // namespace ovistra
