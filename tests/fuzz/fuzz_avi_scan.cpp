// The repair's scan of a recording a dead run left behind.
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
    if (layout && layout->dataEnd > size) {
        __builtin_trap();  // a repair must never keep more than the file holds
    }
    return 0;
}
