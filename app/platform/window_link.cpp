#include "window_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QFile>
#include <QSocketNotifier>
#include <QUrl>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "folders.h"

namespace ovistra::platform {
namespace {

// Records handled per wake-up: a flood waits in the socket (bounded by the kernel's buffer)
// rather than in our memory, and the window keeps painting between batches.
constexpr int kRecordsPerWake = 64;
// Programs connected at once; more are turned away at the door.
constexpr size_t kMaxClients = 32;

bool FillAddress(const QString& path, sockaddr_un* address) {
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= static_cast<qsizetype>(sizeof(address->sun_path))) {
        return false;
    }
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, native.constData(), static_cast<size_t>(native.size()));
    return true;
}

int64_t MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
        .count();
}

// Connects without blocking; a full backlog is retried until the deadline.
int ConnectTo(const sockaddr_un& address, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            return fd;
        }
        const int error = errno;
        close(fd);
        if (error != EAGAIN || MillisecondsLeft(deadline) <= 0) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

QString LinkSocketPath(const QString& runtimeFolder, const QString& title) {
    return JoinPath(runtimeFolder,
                    QString::fromLatin1(QUrl::toPercentEncoding(title)) + QStringLiteral(".link"));
}

// --- listening side

struct WindowLinkListener::Client {
    int fd = -1;
    pid_t pid = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    LinkRecord record{};
    size_t filled = 0;  // bytes of `record` read so far
};

WindowLinkListener::WindowLinkListener(QString runtimeFolder, QString title,
                                       std::set<uint32_t> accepted, Handler handler,
                                       GoneHandler gone, uid_t allowedUid)
    : path_(LinkSocketPath(runtimeFolder, title)),
      accepted_(std::move(accepted)),
      handler_(std::move(handler)),
      gone_(std::move(gone)),
      allowedUid_(allowedUid) {}

WindowLinkListener::~WindowLinkListener() {
    *alive_ = false;
    while (!clients_.empty()) {
        Drop(clients_.begin()->first, false);
    }
    if (listenFd_ < 0) {
        return;
    }
    delete acceptNotifier_;
    close(listenFd_);
    // Only our own socket: a later listener may have replaced it.
    struct stat st {};
    const QByteArray native = QFile::encodeName(path_);
    if (lstat(native.constData(), &st) == 0 && st.st_dev == dev_ && st.st_ino == inode_) {
        unlink(native.constData());
    }
}

bool WindowLinkListener::Listen(QString* error) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    sockaddr_un address{};
    if (!FillAddress(path_, &address)) {
        return fail(QStringLiteral("the path %1 is too long for a socket").arg(path_));
    }
    const QByteArray native = QFile::encodeName(path_);
    struct stat st {};
    if (lstat(native.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            return fail(QStringLiteral("%1 is not a socket").arg(path_));
        }
        const int other = ConnectTo(address, 0);
        if (other >= 0) {
            close(other);
            return fail(QStringLiteral("another window listens on %1").arg(path_));
        }
        unlink(native.constData());  // left by a program that is gone
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        return fail(QString::fromLocal8Bit(strerror(errno)));
    }
    // The runtime folder is closed to others already; the socket is too, whatever the umask.
    if (bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        chmod(native.constData(), 0600) != 0 || listen(listenFd_, 16) != 0 ||
        lstat(native.constData(), &st) != 0) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        close(listenFd_);
        listenFd_ = -1;
        return fail(QStringLiteral("cannot listen on %1: %2").arg(path_, why));
    }
    dev_ = st.st_dev;
    inode_ = st.st_ino;
    acceptNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, [this] { Accept(); });
    return true;
}

bool WindowLinkListener::IsConnected(pid_t pid) const {
    for (const auto& [fd, client] : clients_) {
        if (client->pid == pid) {
            return true;
        }
    }
    return false;
}

void WindowLinkListener::Accept() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        ucred peer{};
        socklen_t length = sizeof(peer);
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
            peer.uid != allowedUid_ || peer.pid <= 0 || clients_.size() >= kMaxClients) {
            close(fd);  // not our user, or one too many: not one record is read
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->pid = peer.pid;
        client->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(client->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { Read(fd); });
        clients_[fd] = std::move(client);
    }
}

void WindowLinkListener::Read(int fd) {
    const std::shared_ptr<bool> alive = alive_;
    for (int handled = 0; handled < kRecordsPerWake; ++handled) {
        const auto found = clients_.find(fd);
        if (found == clients_.end()) {
            return;
        }
        Client& client = *found->second;
        auto* bytes = reinterpret_cast<char*>(&client.record);
        const ssize_t got = recv(fd, bytes + client.filled, sizeof(LinkRecord) - client.filled, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            Drop(fd, true);  // a partial record goes with the connection
            return;
        }
        if (got < 0) {
            return;
        }
        client.filled += static_cast<size_t>(got);
        if (client.filled < sizeof(LinkRecord)) {
            continue;
        }
        client.filled = 0;
        const LinkRecord record = client.record;
        if (!accepted_.contains(record.message)) {
            continue;
        }
        const pid_t sender = client.pid;
        // No second record of this client is read while the handler runs (it may open a
        // dialog with an event loop of its own).
        client.notifier->setEnabled(false);
        const LResult result = handler_(record.message, static_cast<WParam>(record.wParam),
                                        static_cast<LParam>(record.lParam), sender);
        if (!*alive) {
            return;
        }
        const auto still = clients_.find(fd);
        if (still == clients_.end()) {
            return;
        }
        still->second->notifier->setEnabled(true);
        if ((record.flags & kLinkWantsAnswer) != 0) {
            LinkRecord answer{};
            answer.message = record.message;
            answer.lParam = result;
            // The sender waits for this; if it cannot take it now it has given up.
            (void)send(fd, &answer, sizeof(answer), MSG_DONTWAIT | MSG_NOSIGNAL);
        }
    }
}

void WindowLinkListener::Drop(int fd, bool tellGone) {
    const auto found = clients_.find(fd);
    if (found == clients_.end()) {
        return;
    }
    const pid_t pid = found->second->pid;
    found->second->notifier.reset();
    close(fd);
    clients_.erase(found);
    if (tellGone && gone_) {
        gone_(pid);
    }
}

// --- sending side

std::optional<WindowLinkConnection> WindowLinkConnection::Open(const QString& runtimeFolder,
                                                               const QString& title,
                                                               int timeoutMs) {
    sockaddr_un address{};
    if (!FillAddress(LinkSocketPath(runtimeFolder, title), &address)) {
        return std::nullopt;
    }
    const int fd = ConnectTo(address, timeoutMs);
    if (fd < 0) {
        return std::nullopt;
    }
    return WindowLinkConnection(fd);
}

WindowLinkConnection::WindowLinkConnection(WindowLinkConnection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

WindowLinkConnection& WindowLinkConnection::operator=(WindowLinkConnection&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

WindowLinkConnection::~WindowLinkConnection() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool WindowLinkConnection::WriteRecord(const LinkRecord& record, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* bytes = reinterpret_cast<const char*>(&record);
    size_t sent = 0;
    while (sent < sizeof(record)) {
        const ssize_t n =
            send(fd_, bytes + sent, sizeof(record) - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const int64_t left = MillisecondsLeft(deadline);
        if (left <= 0) {
            // A record cut in two would be misread: once begun, it is finished or the
            // connection is closed (and the listener drops the piece).
            if (sent > 0) {
                close(fd_);
                fd_ = -1;
            }
            return false;
        }
        pollfd waiting{fd_, POLLOUT, 0};
        poll(&waiting, 1, static_cast<int>(left));
    }
    return true;
}

bool WindowLinkConnection::Post(uint32_t msg, WParam w, LParam l) {
    if (fd_ < 0) {
        return false;
    }
    return WriteRecord({msg, 0, static_cast<uint64_t>(w), static_cast<int64_t>(l)}, 0);
}

std::optional<LResult> WindowLinkConnection::Send(uint32_t msg, WParam w, LParam l,
                                                  int timeoutMs) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!WriteRecord({msg, kLinkWantsAnswer, static_cast<uint64_t>(w), static_cast<int64_t>(l)},
                     timeoutMs)) {
        return std::nullopt;
    }
    LinkRecord answer{};
    size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(&answer);
    while (got < sizeof(answer)) {
        const int64_t left = MillisecondsLeft(deadline);
        if (left <= 0) {
            return std::nullopt;
        }
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        const ssize_t n = recv(fd_, bytes + got, sizeof(answer) - got, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            return std::nullopt;
        }
        if (n > 0) {
            got += static_cast<size_t>(n);
        }
    }
    return static_cast<LResult>(answer.lParam);
}

}  // namespace ovistra::platform
