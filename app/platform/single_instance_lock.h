// Only one station per user: an advisory lock on a file in the runtime folder. The kernel
// frees it when the process ends, however it ends.
#pragma once

#include <QString>

namespace ovistra::platform {

class SingleInstanceLock {
public:
    enum class Result { Acquired, HeldByAnother, Failed };

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock "Quorvane.lock" in the runtime folder and holds it while this object lives.
    Result Acquire(const QString& runtimeFolder);

private:
    int fd_ = -1;
};

}  // namespace ovistra::platform
