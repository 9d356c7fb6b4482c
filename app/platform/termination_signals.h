// SIGINT and SIGTERM as an ordinary event of the UI thread, so a signal ends the station the
// way its exit button does instead of killing it mid-write.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace ovistra::platform {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; onSignal runs on this object's thread for every signal received.
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals() override;

private:
    void Drain();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ovistra::platform
