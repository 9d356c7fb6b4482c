// Messages between programs of the same user: a window listens on a local socket named after
// its title in the runtime folder, and other programs send it fixed-size (message, wParam,
// lParam) records. A sender's "window" is its process id, known to the listener from the
// socket itself.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "message_window.h"

class QSocketNotifier;

namespace ovistra::platform {

struct LinkRecord {
    uint32_t message = 0;
    uint32_t flags = 0;  // kLinkWantsAnswer: the sender waits for the handler's result
    uint64_t wParam = 0;
    int64_t lParam = 0;
};
static_assert(sizeof(LinkRecord) == 24);
inline constexpr uint32_t kLinkWantsAnswer = 1;

// The socket of the window titled `title`: blanks and other unsafe characters are escaped.
QString LinkSocketPath(const QString& runtimeFolder, const QString& title);

// The listening window; lives on the UI thread and hands every accepted record to `handler`
// there, one at a time.
class WindowLinkListener final : public QObject {
public:
    using Handler = std::function<LResult(uint32_t msg, WParam w, LParam l, pid_t sender)>;
    using GoneHandler = std::function<void(pid_t sender)>;

    // Only `accepted` message numbers are handed over; others are dropped unread. A peer
    // whose user id is not `allowedUid` is disconnected at once.
    WindowLinkListener(QString runtimeFolder, QString title, std::set<uint32_t> accepted,
                       Handler handler, GoneHandler gone, uid_t allowedUid = getuid());
    ~WindowLinkListener() override;

    // Binds the socket, replacing one left by a program that is gone. False, with a reason in
    // `error`, when another window listens under the title or the path is no socket.
    bool Listen(QString* error = nullptr);

    int clientCount() const { return static_cast<int>(clients_.size()); }
    bool IsConnected(pid_t pid) const;

private:
    struct Client;
    void Accept();
    void Read(int fd);
    void Drop(int fd, bool tellGone);

    QString path_;
    std::set<uint32_t> accepted_;
    Handler handler_;
    GoneHandler gone_;
    uid_t allowedUid_;
    int listenFd_ = -1;
    dev_t dev_ = 0;
    ino_t inode_ = 0;
    QSocketNotifier* acceptNotifier_ = nullptr;
    std::map<int, std::unique_ptr<Client>> clients_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A connection to another program's window. Every call is bounded in time.
class WindowLinkConnection {
public:
    // Connects within `timeoutMs`; empty when no window with that title listens.
    static std::optional<WindowLinkConnection> Open(const QString& runtimeFolder,
                                                    const QString& title, int timeoutMs);
    WindowLinkConnection(WindowLinkConnection&& other) noexcept;
    WindowLinkConnection& operator=(WindowLinkConnection&& other) noexcept;
    ~WindowLinkConnection();

    // Queues the record without waiting; false when the window's queue is full or it is gone.
    bool Post(uint32_t msg, WParam w, LParam l);
    // Delivers the record and waits for the handler's result; empty after `timeoutMs`.
    std::optional<LResult> Send(uint32_t msg, WParam w, LParam l, int timeoutMs);

    int fd() const { return fd_; }

private:
    explicit WindowLinkConnection(int fd) : fd_(fd) {}
    bool WriteRecord(const LinkRecord& record, int timeoutMs);

    int fd_ = -1;
};

}  // namespace ovistra::platform
