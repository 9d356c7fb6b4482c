// A clip cut from a recording without decoding it: the encoded pictures (and sound) of one or
// more files, from the key picture at or before the start to the end, written into a new AVI
// file with its time stamps counted from the clip's first picture.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace ovistra {

// One file's share of a clip, in seconds into that file. No end: to the end of the file.
struct ClipPiece {
    QString path;
    double fromSeconds = 0;
    std::optional<double> toSeconds;
};

struct ClipResult {
    enum class Failure { None, Range, Damaged, Formats, Write, Cancelled };
    Failure failure = Failure::None;
    QString path;        // the file written (gone again after a failure)
    double seconds = 0;  // how long the written clip plays
    bool ok() const { return failure == Failure::None; }
};

// "range", "damaged", "formats", "write", "cancelled"; empty for success.
QString FailureWord(ClipResult::Failure failure);

// Writes `pieces`, in order, into a new file `outPath`; blocks until it is written or failed.
// A failure leaves no file at `outPath`. Any thread; `cancel` (may be null) is read between
// pictures.
ClipResult WriteClip(const std::vector<ClipPiece>& pieces, const QString& outPath,
                     const std::atomic<bool>* cancel = nullptr);

// WriteClip on a thread of its own, one clip at a time; the result comes back by a queued call
// to the thread that made this object (which must run an event loop), never once it is gone.
class ClipExport {
public:
    using Done = std::function<void(const ClipResult&)>;

    ClipExport();
    // Cancels a clip being written (its file is removed) and waits for the thread.
    ~ClipExport();
    ClipExport(const ClipExport&) = delete;
    ClipExport& operator=(const ClipExport&) = delete;

    // False, and nothing started, while an earlier clip is still being written.
    bool Start(std::vector<ClipPiece> pieces, const QString& outPath, Done done);
    bool busy() const { return busy_.load(std::memory_order_acquire); }

private:
    void Join();

    std::unique_ptr<QObject> relay_;  // the results' way back; its queued calls die with it
    std::thread worker_;
    // --- written by the owner's thread, read by the worker
    std::atomic<bool> cancel_{false};
    // --- owner's thread: set at the start, cleared when the result arrives
    std::atomic<bool> busy_{false};
};

}  // namespace ovistra
