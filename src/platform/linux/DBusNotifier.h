#pragma once

#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

namespace vesk {

// Desktop notifications through the freedesktop notification service on the session bus.
// A notification whose group (else identifier) was shown before replaces it on screen. Without
// a session bus or a notification service the notification is logged and skipped.
class DBusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    explicit DBusNotifier(QDBusConnection bus, QString appName = QStringLiteral("Vesk Warden"),
                          QObject *parent = nullptr);

    void post(const LocalNotification &notification) override;
    // The freedesktop service has no permission of its own: a notification service on the bus
    // shows what it is sent, so its presence is authorized; no bus or no service is unknown
    // (it may start on demand, or the desktop may have none).
    QCoro::Task<NotificationAuthorization> authorizationStatus() override;

signals:
    // The service took the notification under `serverId`.
    void shown(const QString &identifier, uint serverId);
    void skipped(const QString &identifier, const QString &reason);

private:
    void skip(const LocalNotification &notification, const QString &reason);

    QDBusConnection m_bus;
    QString m_appName;
    QHash<QString, uint> m_serverIds; // group or identifier -> the service's id
};

} // namespace vesk
