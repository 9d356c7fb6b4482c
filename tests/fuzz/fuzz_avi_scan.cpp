// The repair's scan of a recording a dead run left behind, its later parts past 1 GiB too.
#include <cstring>

#include "avi_repair.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ovistra::AviByteReader read = [data, size](uint64_t offset, void* into, size_t n) {
        if (offset > size || n > size - offset) {
            return false;
        }
        std::memcpy(into, data + offset, n);
        return true;
    };
    const auto layout = ovistra::ScanAvi(size, read, nullptr);
    if (!layout) {
        return 0;
    }
    // A repair must never keep more than the file holds, nor index a chunk outside its part.
    if (layout->dataEnd > size) {
        __builtin_trap();
    }
    for (const ovistra::AviPart& part : layout->parts) {
        if (part.end > size || part.dataEnd > part.end ||
            part.firstEntry + part.entries > layout->index.size()) {
            __builtin_trap();
        }
        for (size_t i = part.firstEntry; i < part.firstEntry + part.entries; ++i) {
            const ovistra::AviIndexEntry& e = layout->index[i];
            if (e.offset < part.moviOffset || e.offset + 8 + e.size > part.dataEnd) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
