// "fileinfo.dat" in the framework archive's bytes: a 16-bit entry count, then each entry's
// fields in order; strings as a length (one byte below 255, else 255 and 16 bits, else 255,
// 0xFFFF and 32 bits) and their bytes (UTF-8), integers as 32 bits, all little-endian. A list
// of 65535 entries or more takes the archive's large-count form: 0xFFFF, then a 32-bit count.
#pragma once

#include <QByteArray>
#include <vector>

#include "record_info.h"

namespace ovistra {

QByteArray SerializeRecordingList(const std::vector<RecordInfo>& entries);

struct ParsedRecordingList {
    std::vector<RecordInfo> entries;  // every whole entry before any damage
    bool damaged = false;             // cut short, a wild length or count, or bytes left over
};

// Never reads past the bytes, and never reserves memory by a count it has not seen the bytes of.
ParsedRecordingList ParseRecordingList(const QByteArray& bytes);

}  // namespace ovistra
