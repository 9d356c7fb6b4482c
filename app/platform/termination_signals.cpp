#include "termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

namespace ovistra::platform {
namespace {

// The write end of the self-pipe; a signal handler may only touch async-signal-safe things.
int g_signalWriteFd = -1;
int g_signalReadFd = -1;

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalWriteFd, &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
    std::array<int, 2> fds{};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds.data()) != 0) {
        return;
    }
    g_signalReadFd = fds[0];
    g_signalWriteFd = fds[1];
    notifier_ = std::make_unique<QSocketNotifier>(g_signalReadFd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (g_signalReadFd < 0) {
        return;
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    close(g_signalReadFd);
    close(g_signalWriteFd);
    g_signalReadFd = g_signalWriteFd = -1;
}

void TerminationSignals::Drain() {
    char buffer[64];
    while (read(g_signalReadFd, buffer, sizeof(buffer)) > 0) {
    }
    onSignal_();
}

}  // namespace ovistra::platform
