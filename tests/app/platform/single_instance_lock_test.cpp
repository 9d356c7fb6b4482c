#include "single_instance_lock.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

using ovistra::platform::SingleInstanceLock;
using Result = SingleInstanceLock::Result;

// Starts a second process that tries the lock and keeps it until we close its input.
class Probe {
public:
    explicit Probe(const QString& folder) {
        process_.start(INSTANCE_LOCK_PROBE, {folder});
        process_.waitForStarted();
        process_.waitForReadyRead(10000);
        answer_ = process_.readLine().trimmed();
    }
    ~Probe() { Stop(); }
    QByteArray answer() const { return answer_; }
    void Stop() {
        process_.closeWriteChannel();
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    QByteArray answer_;
};

TEST(SingleInstanceLock, SecondProcessIsTurnedAwayUntilTheFirstEnds) {
    QTemporaryDir dir;
    {
        Probe first(dir.path());
        ASSERT_EQ(first.answer(), "acquired");
        Probe second(dir.path());
        EXPECT_EQ(second.answer(), "held");
        SingleInstanceLock here;
        EXPECT_EQ(here.Acquire(dir.path()), Result::HeldByAnother);
        first.Stop();
        // The kernel freed the lock with the first process.
        EXPECT_EQ(here.Acquire(dir.path()), Result::Acquired);
        Probe third(dir.path());
        EXPECT_EQ(third.answer(), "held");
    }
    Probe afterUs(dir.path());
    EXPECT_EQ(afterUs.answer(), "acquired");
}

TEST(SingleInstanceLock, UnusableFolderFails) {
    SingleInstanceLock lock;
    EXPECT_EQ(lock.Acquire("/nonexistent/ovistra-test"), Result::Failed);
}

}  // namespace
