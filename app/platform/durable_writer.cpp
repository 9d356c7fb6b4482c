#include "durable_writer.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "durable_file.h"

namespace ovistra::platform {

bool ReplaceFileDurably(const QString& path, const QByteArray& bytes) {
    const QString temporary = path + QStringLiteral(".new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written =
        file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!written || ::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    SyncFolder(QFileInfo(path).absolutePath());
    return true;
}

DurableWriter::DurableWriter() : thread_([this] { Run(); }) {}

DurableWriter::~DurableWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void DurableWriter::SyncFinished(const QString& path) {
    Add(Job{path, {}, false, {}});
}

void DurableWriter::Replace(const QString& path, const QByteArray& bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Only the last waiting job may give way: anything behind an earlier one keeps its order.
        if (!jobs_.empty() && jobs_.back().replace && jobs_.back().path == path) {
            jobs_.back().bytes = bytes;
            return;
        }
    }
    Add(Job{path, bytes, true, {}});
}

void DurableWriter::Post(std::function<void()> work) {
    Add(Job{{}, {}, false, std::move(work)});
}

void DurableWriter::Add(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void DurableWriter::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void DurableWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return;  // ending, with nothing left to do
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        if (job.work) {
            job.work();
        } else if (job.replace) {
            ReplaceFileDurably(job.path, job.bytes);
        } else {
            SyncFinishedFile(job.path);
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace ovistra::platform
