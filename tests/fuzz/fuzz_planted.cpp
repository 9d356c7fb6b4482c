// Length-prefixed strings read the way the recording list stores them, with the check that the
// bytes are there left out on purpose. scripts/fuzz.sh expects this target to crash: it shows
// that a read past the input is found within the fuzzing time.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    for (size_t at = 2; at < size;) {
        const size_t length = data[at++];
        for (size_t i = 0; i < length; ++i) {
            sum += data[at + i];  // planted: `length` may run past the input
        }
        at += length;
    }
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
