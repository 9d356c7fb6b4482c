#include "desktop_notifier.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <vector>

namespace {

using ovistra::alarms::AlarmFacts;
using ovistra::alarms::DesktopNotifier;

// The desktop's notification service as far as Notify goes: it keeps each call's arguments.
class FakeNotificationService : public QDBusVirtualObject {
public:
    std::vector<QList<QVariant>> calls;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify"))
            return false;
        calls.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(uint(calls.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

// A bus of the test's own, with no services but those the test registers.
class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QFile config(dir_.filePath("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        daemon_.start("dbus-daemon",
                      {"--nofork", "--print-address=1", "--config-file=" + config.fileName()});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon is missing";
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        ASSERT_FALSE(address_.isEmpty());
    }
    void TearDown() override {
        if (serviceBus_)
            QDBusConnection::disconnectFromBus("fake-notification-service");
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }

    void OfferService() {
        QDBusConnection bus = QDBusConnection::connectToBus(address_, "fake-notification-service");
        ASSERT_TRUE(bus.isConnected());
        serviceBus_ = true;
        ASSERT_TRUE(bus.registerVirtualObject("/org/freedesktop/Notifications", &service_));
        ASSERT_TRUE(bus.registerService("org.freedesktop.Notifications"));
    }

    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    bool serviceBus_ = false;
    FakeNotificationService service_;
};

AlarmFacts Gate() {
    AlarmFacts facts;
    facts.camera = 3;
    facts.cameraName = "Gate";
    facts.still = "/data/stills/cam 3.jpg";
    return facts;
}

TEST_F(PrivateBus, AnAlarmReachesTheServiceWithItsTextsStillAndIcon) {
    OfferService();
    DesktopNotifier disabled(false, address_, nullptr);
    DesktopNotifier notifier(true, address_, nullptr);
    disabled.Notify(Gate(), "Never shown", "");
    notifier.Notify(Gate(), "Alarm: Gate", "Camera 3 saw motion");

    ASSERT_TRUE(QTest::qWaitFor([&] { return !service_.calls.empty(); }, 5000));
    QTest::qWait(100);  // room for a call that should not come
    ASSERT_EQ(service_.calls.size(), 1u);
    const QList<QVariant>& args = service_.calls.front();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[2].toString(), "ovistra");
    EXPECT_EQ(args[3].toString(), "Alarm: Gate");
    EXPECT_EQ(args[4].toString(), "Camera 3 saw motion");
    const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
    EXPECT_EQ(hints.value("image-path").toString(), "file:///data/stills/cam%203.jpg");
    EXPECT_EQ(notifier.sent(), 1);
    EXPECT_EQ(disabled.sent(), 0);

    AlarmFacts noStill = Gate();
    noStill.still.clear();
    notifier.Notify(noStill, "Alarm: Gate", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service_.calls.size() == 2; }, 5000));
    EXPECT_FALSE(qdbus_cast<QVariantMap>(service_.calls.back()[6]).contains("image-path"));
}

TEST_F(PrivateBus, WithoutAServiceTheFirstAnswerEndsTheTrying) {
    DesktopNotifier notifier(true, address_, nullptr);
    notifier.Notify(Gate(), "Alarm: Gate", "");
    // The bus answers that nobody owns the name; the call's watcher goes once it has.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return notifier.findChildren<QDBusPendingCallWatcher*>().isEmpty(); }, 10000));
    OfferService();
    notifier.Notify(Gate(), "Alarm: Gate", "");
    QTest::qWait(300);  // room for a call that should not come
    EXPECT_TRUE(service_.calls.empty());
    EXPECT_EQ(notifier.sent(), 1);

    DesktopNotifier noBus(true, "unix:path=" + dir_.filePath("no-such-bus"), nullptr);
    noBus.Notify(Gate(), "Alarm: Gate", "");
    noBus.Notify(Gate(), "Alarm: Gate", "");
    EXPECT_EQ(noBus.sent(), 0);
}

}  // namespace
