// The recording list "fileinfo.dat" as read at every start.
#include <cstddef>
#include <cstdint>

#include "recording_list_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ovistra::ParsedRecordingList parsed = ovistra::ParseRecordingList(bytes);
    // Whatever was kept must write back and read again to the same entries.
    const QByteArray again = ovistra::SerializeRecordingList(parsed.entries);
    if (ovistra::ParseRecordingList(again).entries != parsed.entries) {
        __builtin_trap();
    }
    return 0;
}
