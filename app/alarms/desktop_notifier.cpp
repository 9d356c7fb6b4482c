#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <atomic>

namespace ovistra::alarms {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kAppName = QStringLiteral("Ovistra");
const QString kIconName = QStringLiteral("ovistra");  // the desktop entry's icon and name

// Without an address, the bus library would try to launch a session bus of its own.
bool SessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

}  // namespace

DesktopNotifier::DesktopNotifier(bool enabled, QObject* parent)
    : DesktopNotifier(enabled, QString(), parent) {}

DesktopNotifier::DesktopNotifier(bool enabled, const QString& busAddress, QObject* parent)
    : QObject(parent), enabled_(enabled), busAddress_(busAddress) {}

DesktopNotifier::~DesktopNotifier() {
    if (!connectionName_.isEmpty())
        QDBusConnection::disconnectFromBus(connectionName_);
}

bool DesktopNotifier::Connect() {
    checked_ = true;
    if (busAddress_.isEmpty()) {
        available_ = SessionBusKnown() && QDBusConnection::sessionBus().isConnected();
        return available_;
    }
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("ovistra-notifier-%1").arg(serial.fetch_add(1));
    available_ = QDBusConnection::connectToBus(busAddress_, connectionName_).isConnected();
    return available_;
}

void DesktopNotifier::Notify(const AlarmFacts& facts, const QString& summary, const QString& body) {
    if (!enabled_)
        return;
    if (!checked_)
        Connect();
    if (!available_)
        return;
    QDBusConnection bus = connectionName_.isEmpty() ? QDBusConnection::sessionBus()
                                                    : QDBusConnection(connectionName_);

    QVariantMap hints;
    if (!facts.still.isEmpty()) {
        hints.insert(QStringLiteral("image-path"),
                     QString::fromUtf8(QUrl::fromLocalFile(facts.still).toEncoded()));
    }
    hints.insert(QStringLiteral("desktop-entry"), kIconName);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar{2}));  // critical: an alarm

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << kAppName << uint{0} << kIconName << summary << body << QStringList() << hints
         << int{-1};
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answered) {
                // No service, or one that refuses us: stop asking, without a word.
                if (answered->isError())
                    available_ = false;
                answered->deleteLater();
            });
    ++sent_;
}

}  // namespace ovistra::alarms
