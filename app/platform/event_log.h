// Event lines for scripts that follow a run: one line per event on standard output,
//   2026-12-08T06:30:00 capture-started device=sim name="USB 2.0 A/V Converter"
// written and flushed at once. A value with a blank, a double quote or nothing in it is
// double-quoted, with '"' and '\' escaped by a backslash; line breaks and other control
// characters in a value are escaped too (\n, \r, \t, \u001b), so one event is always one line.
// Other values stand as they are. Event words and keys are plain words of our own.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace ovistra {

using EventFields = std::vector<std::pair<QString, QString>>;

class EventLog {
public:
    static EventLog& Instance();

    // Thread-safe. The sink gets whole lines, one call each, never two at once, and never
    // after Disable has returned; it must not print events itself.
    void Enable(std::function<void(const QByteArray& line)> sink);
    void Disable();
    bool enabled() const { return enabled_.load(std::memory_order_acquire); }

    // Thread-safe; a no-op when disabled. Stamped with the local time of printing; lines
    // reach the sink in the order of their stamps.
    void Print(const QString& event, const EventFields& fields = {});

    // The line in UTF-8, ending with '\n'; `when` (a valid time) is shown in local time.
    static QByteArray FormatLine(const QDateTime& when, const QString& event,
                                 const EventFields& fields);

private:
    EventLog() = default;

    std::atomic<bool> enabled_{false};  // lets Print skip the lock while disabled
    // --- guarded by lock_
    std::mutex lock_;
    std::function<void(const QByteArray&)> sink_;
};

// Enables the log with a sink that writes each line to standard output and flushes it.
void EnableStdoutEvents();

}  // namespace ovistra
