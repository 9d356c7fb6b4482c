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
    ~DesktopNotifier() override;

    // UI thread; never waits for the desktop's answer. `summary` and `body` are the texts
    // shown, from the resource library.
    void Notify(const AlarmFacts& facts, const QString& summary, const QString& body);

    // Notifications handed to the desktop so far (the desktop may still drop them).
    int sent() const { return sent_; }

private:
    bool enabled_;
    int sent_ = 0;
};

}  // namespace ovistra::alarms
