#include "app/AppDelegate.h"

#include "wire/RemoteNotification.h"

#include <QTimer>

#include <cstdio>

namespace vesk {

QString AppDelegate::hexToken(const QByteArray &deviceToken)
{
    return QString::fromLatin1(deviceToken.toHex());
}

void AppDelegate::didRegisterForRemoteNotifications(const QByteArray &deviceToken)
{
    if (m_pushTokenSink)
        m_pushTokenSink(hexToken(deviceToken));
}

void AppDelegate::didFailToRegisterForRemoteNotifications(const QString &errorDescription)
{
    std::printf("Push registration failed: %s\n", qPrintable(errorDescription));
    std::fflush(stdout);
}

void AppDelegate::didReceiveRemoteNotification(const QJsonObject &payload)
{
    const std::optional<RemoteNotification> notification = RemoteNotification::fromJson(payload, nullptr);
    if (!notification || !notification->isCommandPending() || !m_pollNow)
        return;
    // Poll from the event loop, not from inside the delivery callback.
    QTimer::singleShot(0, this, [poll = m_pollNow]() { poll(); });
}

} // namespace vesk
