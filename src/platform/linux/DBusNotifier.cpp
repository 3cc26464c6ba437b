#include "platform/linux/DBusNotifier.h"

#include "platform/LogCategories.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

#include <qcoro/qcorosignal.h>

namespace vesk {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;
} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QString appName, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_appName(std::move(appName))
{
}

void DBusNotifier::skip(const LocalNotification &notification, const QString &reason)
{
    qCInfo(lcAlerts).noquote() << "Notification skipped (" + reason + "):" << notification.title << "—"
                               << notification.body;
    emit skipped(notification.identifier, reason);
}

void DBusNotifier::post(const LocalNotification &notification)
{
    if (!m_bus.isConnected()) {
        skip(notification, QStringLiteral("no session bus"));
        return;
    }
    const QString slot = notification.group.isEmpty() ? notification.identifier : notification.group;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(notification.critical ? kUrgencyCritical : kUrgencyNormal));
    hints.insert(QStringLiteral("sound-name"),
                 notification.critical ? QStringLiteral("dialog-warning") : QStringLiteral("message-new-instant"));
    if (!notification.categoryIdentifier.isEmpty())
        hints.insert(QStringLiteral("category"), QStringLiteral("x-vesk.") + notification.categoryIdentifier.toLower());

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << m_appName << m_serverIds.value(slot, 0) << QString() << notification.title << notification.body
         << QStringList() << hints << (notification.critical ? 0 : -1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notification, slot](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    skip(notification, reply.error().name());
                    return;
                }
                m_serverIds.insert(slot, reply.value());
                emit shown(notification.identifier, reply.value());
            });
}

QCoro::Task<NotificationAuthorization> DBusNotifier::authorizationStatus()
{
    if (!m_bus.isConnected())
        co_return NotificationAuthorization::unknown;
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService, QStringLiteral("NameHasOwner"));
    ask << kService;
    QPointer<QDBusPendingCallWatcher> watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    // None when the notifier went away first or the bus did not answer in time.
    const auto finished =
        co_await qCoro(watcher.get(), &QDBusPendingCallWatcher::finished, std::chrono::seconds(5));
    if (!watcher)
        co_return NotificationAuthorization::unknown;
    watcher->deleteLater();
    if (!finished)
        co_return NotificationAuthorization::unknown;
    const QDBusPendingReply<bool> reply = *watcher;
    if (reply.isError()) {
        qCInfo(lcAlerts).noquote() << "Notification status unknown:" << reply.error().message();
        co_return NotificationAuthorization::unknown;
    }
    co_return reply.value() ? NotificationAuthorization::authorized : NotificationAuthorization::unknown;
}

} // namespace vesk
