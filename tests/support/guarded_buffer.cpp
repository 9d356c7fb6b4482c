#include "guarded_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

GuardedBuffer::GuardedBuffer(size_t bytes, uint8_t fill) : bytes_(bytes) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t dataPages = (bytes + page - 1) / page;
    mappingBytes_ = (dataPages + 2) * page;
    void* m = mmap(nullptr, mappingBytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) {
        throw std::runtime_error("mmap failed");
    }
    mapping_ = static_cast<uint8_t*>(m);
    if (dataPages > 0 && mprotect(mapping_ + page, dataPages * page, PROT_READ | PROT_WRITE) != 0) {
        munmap(mapping_, mappingBytes_);
        throw std::runtime_error("mprotect failed");
    }
    data_ = mapping_ + page + dataPages * page - bytes;
    std::memset(data_, fill, bytes);
}

GuardedBuffer::~GuardedBuffer() {
    munmap(mapping_, mappingBytes_);
}

}  // namespace testsupport
