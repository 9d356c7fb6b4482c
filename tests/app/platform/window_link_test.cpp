#include "window_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace ovistra::platform {
namespace {

struct ReceivedRecord {
    uint32_t msg;
    WParam w;
    LParam l;
    pid_t sender;
};

class WindowLinkTest : public ::testing::Test {
protected:
    std::unique_ptr<WindowLinkListener> MakeListener(uid_t uid = getuid()) {
        auto listener = std::make_unique<WindowLinkListener>(
            folder_.path(), QStringLiteral("Quorvane "), std::set<uint32_t>{1137, 2031, 2034},
            [this](uint32_t msg, WParam w, LParam l, pid_t sender) {
                received_.push_back({msg, w, l, sender});
                return static_cast<LResult>(w + 1);
            },
            [this](pid_t pid) { gone_.push_back(pid); }, uid);
        return listener;
    }

    // A listening window and a connection to it.
    void ListenAndConnect(uid_t uid = getuid()) {
        listener = MakeListener(uid);
        ASSERT_TRUE(listener->Listen());
        link = WindowLinkConnection::Open(folder_.path(), QStringLiteral("Quorvane "), 100);
        ASSERT_TRUE(link.has_value());
    }

    // Runs the event loop until `done` or two seconds have passed.
    template <typename Done>
    bool Pump(Done done) {
        QDeadlineTimer deadline(2000);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return done();
    }

    QTemporaryDir folder_;
    std::vector<ReceivedRecord> received_;
    std::vector<pid_t> gone_;
    std::unique_ptr<WindowLinkListener> listener;
    std::optional<WindowLinkConnection> link;
};

TEST_F(WindowLinkTest, PostedRecordsArriveWithTheSendersProcessId) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect());
    ASSERT_TRUE(link->Post(2034, 18, 4242));
    ASSERT_TRUE(Pump([&] { return received_.size() == 1; }));
    EXPECT_EQ(received_[0].msg, 2034u);
    EXPECT_EQ(received_[0].w, 18u);
    EXPECT_EQ(received_[0].l, 4242);
    EXPECT_EQ(received_[0].sender, getpid());
    EXPECT_TRUE(listener->IsConnected(getpid()));
}

TEST_F(WindowLinkTest, SentRecordWaitsForTheHandlersResult) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect());
    std::optional<LResult> answer;
    std::thread sender([&] { answer = link->Send(1137, 41, 0, 2000); });
    Pump([&] { return received_.size() == 1; });
    sender.join();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, 42);
}

TEST_F(WindowLinkTest, SendGivesUpWhenTheWindowDoesNotAnswer) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect());
    // No event loop runs, so the record is never handled.
    EXPECT_FALSE(link->Send(1137, 0, 0, 50).has_value());
}

TEST_F(WindowLinkTest, OnlyAcceptedMessagesReachTheHandler) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect());
    for (uint32_t msg : {1524u, 2032u, 16u, 1137u, 0xFFFFFFFFu, 2031u}) {
        ASSERT_TRUE(link->Post(msg, 1, 2));
    }
    ASSERT_TRUE(Pump([&] { return received_.size() == 2; }));
    EXPECT_EQ(received_[0].msg, 1137u);
    EXPECT_EQ(received_[1].msg, 2031u);
}

TEST_F(WindowLinkTest, PeerOfAnotherUserIsDroppedUnread) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect(getuid() + 1));
    link->Post(2031, 0, 0);
    // The listener hangs up on it.
    char byte = 0;
    EXPECT_TRUE(Pump([&] { return recv(link->fd(), &byte, 1, MSG_DONTWAIT) == 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(received_.empty());
    EXPECT_TRUE(gone_.empty());
    EXPECT_EQ(listener->clientCount(), 0);
}

TEST_F(WindowLinkTest, PartialRecordAtDisconnectIsDiscardedAndThePeerReportedGone) {
    auto listener = MakeListener();
    ASSERT_TRUE(listener->Listen());
    {
        auto link = WindowLinkConnection::Open(folder_.path(), QStringLiteral("Quorvane "), 100);
        ASSERT_TRUE(link.has_value());
        const LinkRecord record{2031, 0, 0, 0};
        ASSERT_EQ(send(link->fd(), &record, 10, MSG_NOSIGNAL), 10);
        ASSERT_TRUE(Pump([&] { return listener->clientCount() == 1; }));
    }
    ASSERT_TRUE(Pump([&] { return gone_.size() == 1; }));
    EXPECT_EQ(gone_[0], getpid());
    EXPECT_TRUE(received_.empty());
    EXPECT_FALSE(listener->IsConnected(getpid()));
}

TEST_F(WindowLinkTest, BurstOfRecordsArrivesWholeAndInOrder) {
    ASSERT_NO_FATAL_FAILURE(ListenAndConnect());
    constexpr int kRecords = 100000;
    std::thread sender([fd = link->fd()] {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // the kernel's buffer throttles us
        for (int i = 0; i < kRecords; ++i) {
            const LinkRecord record{2034, 0, static_cast<uint64_t>(i), 0};
            if (send(fd, &record, sizeof(record), MSG_NOSIGNAL) != sizeof(record)) {
                return;
            }
        }
    });
    QDeadlineTimer deadline(60000);
    while (received_.size() < kRecords && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    sender.join();
    ASSERT_EQ(received_.size(), static_cast<size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i) {
        ASSERT_EQ(received_[i].w, static_cast<WParam>(i));
    }
}

TEST_F(WindowLinkTest, ListeningReplacesOnlyAStaleSocket) {
    const QString path = LinkSocketPath(folder_.path(), QStringLiteral("Quorvane "));
    EXPECT_FALSE(path.contains(QLatin1Char(' ')));
    {
        auto first = MakeListener();
        ASSERT_TRUE(first->Listen());
        auto second = MakeListener();
        QString why;
        EXPECT_FALSE(second->Listen(&why));
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path));  // the listener took its socket with it

    // A socket left by a program that died is replaced.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(stale);
    EXPECT_TRUE(MakeListener()->Listen());

    // Anything else under that name is the user's and stays.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    EXPECT_FALSE(MakeListener()->Listen());
    EXPECT_EQ(QFile(path).size(), 4);
}

TEST_F(WindowLinkTest, NoWindowUnderTheTitleMeansNoConnection) {
    EXPECT_FALSE(WindowLinkConnection::Open(folder_.path(), QStringLiteral("Dunmarra"), 100));
}

}  // namespace
}  // namespace ovistra::platform
