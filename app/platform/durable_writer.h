// The disk syncs of finished recordings and of the files rewritten after them, on a thread of
// their own: a sync may take seconds on a busy disk, and the UI thread pushes every camera's
// pictures. Work is done in the order it was asked, so a list that calls a file finished
// reaches the disk only after that file.
#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ovistra::platform {

class DurableWriter {
public:
    DurableWriter();
    // Does what was asked, then ends its thread.
    ~DurableWriter();
    DurableWriter(const DurableWriter&) = delete;
    DurableWriter& operator=(const DurableWriter&) = delete;

    // The finished file's data, then its folder's entry (SyncFinishedFile).
    void SyncFinished(const QString& path);
    // `bytes` become the file at `path` by a synced temporary file renamed over it, and the
    // folder is synced (a failure leaves the old file). A replacement of the same file still
    // waiting gives way to this one.
    void Replace(const QString& path, const QByteArray& bytes);
    // Runs `work` on the writer's thread, in order with the rest. It may touch only what it
    // owns (paths and byte copies) and thread-safe things such as the event log.
    void Post(std::function<void()> work);
    // Returns once everything asked before has been done.
    void Drain();

private:
    struct Job {
        QString path;
        QByteArray bytes;
        bool replace = false;
        std::function<void()> work;  // set: neither a sync nor a replacement
    };

    void Add(Job job);
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;
};

// Writes `bytes` to `path` atomically and durably, now: a temporary file beside it, synced,
// renamed over it, the folder synced. False, with the old file untouched, when it failed.
bool ReplaceFileDurably(const QString& path, const QByteArray& bytes);

}  // namespace ovistra::platform
