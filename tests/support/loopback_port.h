// Loopback ports for tests that start servers: one nobody listens on, a connection to one, and
// whether one listens.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace testsupport {

namespace detail {
inline sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
}  // namespace detail

// A loopback port nobody listens on now; 0 when none could be had.
inline uint16_t FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = detail::LoopbackAddress(0);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

// A connected socket to the loopback port, for the caller to close; -1 when nobody answered.
inline int ConnectToLoopback(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address = detail::LoopbackAddress(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether something accepts connections on the loopback port now.
inline bool ListeningOnLoopback(uint16_t port) {
    const int fd = ConnectToLoopback(port);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

}  // namespace testsupport
