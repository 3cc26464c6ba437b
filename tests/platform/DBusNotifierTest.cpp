#include "LogCapture.h"

#include "platform/linux/DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// A notification service that records what it is asked to show.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        uint replacesId;
        QString summary;
        QString body;
        QVariantMap hints;
        int timeout;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &app, uint replacesId, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int timeout)
    {
        calls << Call{app, replacesId, summary, body, hints, timeout};
        return replacesId != 0 ? replacesId : ++m_lastId;
    }

private:
    uint m_lastId = 40;
};

// A private session bus for one test, ended with it.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    const QString &address() const { return m_address; }
    QDBusConnection connect(const QString &name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

LocalNotification alert(const QString &id, const QString &title, bool critical, const QString &group = {})
{
    return LocalNotification{id, title, title + " body", QStringLiteral("WARDEN_ALERT"), critical, group};
}

TEST(DBusNotifier, RepeatsReplaceAndOthersStack)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    FakeNotificationService service;
    QDBusConnection serviceSide = bus.connect(QStringLiteral("fake-notifications"));
    ASSERT_TRUE(serviceSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                           QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceSide.registerService(QStringLiteral("org.freedesktop.Notifications")));

    DBusNotifier notifier(bus.connect(QStringLiteral("notifier")));
    EXPECT_EQ(QCoro::waitFor(notifier.authorizationStatus()), NotificationAuthorization::authorized);
    QSignalSpy shown(&notifier, &DBusNotifier::shown);
    const auto postAndWait = [&](const LocalNotification &n) {
        const auto before = shown.size();
        notifier.post(n);
        return QTest::qWaitFor([&] { return shown.size() > before; }, 5000);
    };
    ASSERT_TRUE(postAndWait(alert("A1", "Disk Almost Full", true, "disk_critical")));
    ASSERT_TRUE(postAndWait(alert("A2", "Disk Almost Full", true, "disk_critical")));
    ASSERT_TRUE(postAndWait(alert("B1", "High CPU Usage", false, "cpu_warning")));
    ASSERT_TRUE(postAndWait(LocalNotification{"offline_summary", "3 machines offline", "x", "WARDEN_OFFLINE", false, {}}));
    ASSERT_TRUE(postAndWait(LocalNotification{"offline_summary", "4 machines offline", "y", "WARDEN_OFFLINE", false, {}}));

    ASSERT_EQ(service.calls.size(), 5);
    const QList<uint> replaces{service.calls[0].replacesId, service.calls[1].replacesId, service.calls[2].replacesId,
                               service.calls[3].replacesId, service.calls[4].replacesId};
    EXPECT_EQ(replaces, (QList<uint>{0, 41, 0, 0, 43}));
    EXPECT_EQ(service.calls[0].app, "Vesk Warden");
    EXPECT_EQ(service.calls[0].summary, "Disk Almost Full");
    EXPECT_EQ(service.calls[0].body, "Disk Almost Full body");
    EXPECT_EQ(service.calls[0].hints.value("urgency").toInt(), 2);
    EXPECT_EQ(service.calls[0].timeout, 0) << "critical ones stay";
    EXPECT_EQ(service.calls[2].hints.value("urgency").toInt(), 1);
    EXPECT_EQ(service.calls[4].hints.value("category").toString(), "x-vesk.warden_offline");
}

TEST(DBusNotifier, WithoutServiceOrBusNotificationsAreLoggedAndSkipped)
{
    LogCapture log;
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    DBusNotifier emptyBus(bus.connect(QStringLiteral("lonely")));
    QSignalSpy skippedOnBus(&emptyBus, &DBusNotifier::skipped);
    emptyBus.post(alert("A1", "Disk Almost Full", true));
    ASSERT_TRUE(skippedOnBus.wait(5000));
    EXPECT_EQ(skippedOnBus[0][0].toString(), "A1");
    EXPECT_EQ(QCoro::waitFor(emptyBus.authorizationStatus()), NotificationAuthorization::unknown);

    DBusNotifier headless(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "headless"));
    QSignalSpy skippedHeadless(&headless, &DBusNotifier::skipped);
    headless.post(alert("A2", "High CPU Usage", false));
    ASSERT_EQ(skippedHeadless.size(), 1);
    EXPECT_EQ(skippedHeadless[0][1].toString(), "no session bus");
    EXPECT_EQ(QCoro::waitFor(headless.authorizationStatus()), NotificationAuthorization::unknown);
    EXPECT_EQ(log.messages("alerts").filter("Notification skipped").size(), 2);
    QDBusConnection::disconnectFromBus("headless");
}

} // namespace
} // namespace vesk::test

#include "DBusNotifierTest.moc"
