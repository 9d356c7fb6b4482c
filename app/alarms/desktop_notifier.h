// An alarm told to the desktop the station is shown on: a freedesktop notification with the
// camera's name and the alarm's still. Silent when no desktop session offers the service.
#pragma once

#include <QObject>
#include <QString>

#include "alarm_facts.h"

namespace ovistra::alarms {

class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    // `enabled` false (a station whose window is never shown) never looks for the service.
    explicit DesktopNotifier(bool enabled, QObject* parent = nullptr);
    // The same on the bus at `busAddress` instead of the session's (empty: the session's).
    DesktopNotifier(bool enabled, const QString& busAddress, QObject* parent);
    ~DesktopNotifier() override;

    // UI thread; never waits for the desktop's answer. `summary` and `body` are the texts
    // shown, from the resource library.
    void Notify(const AlarmFacts& facts, const QString& summary, const QString& body);

    // Notifications handed to the desktop so far (the desktop may still drop them).
    int sent() const { return sent_; }

private:
    bool Connect();

    bool enabled_;
    QString busAddress_;
    QString connectionName_;  // set once connected to a bus of our own
    bool checked_ = false;    // the bus was looked for
    bool available_ = false;  // a bus was found and no Notify has failed yet
    int sent_ = 0;
};

}  // namespace ovistra::alarms
