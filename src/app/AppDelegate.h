#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

namespace vesk {

// Receives what the operating system tells the application: the push token, a failed
// push registration and incoming remote notifications.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    using PollNow = std::function<void()>;
    using PushTokenSink = std::function<void(const QString &hexToken)>;

    explicit AppDelegate(QObject *parent = nullptr) : QObject(parent) {}

    // Set by start-up once the command poller and the alert service run; cleared never.
    void setCommandPoller(PollNow pollNow) { m_pollNow = std::move(pollNow); }
    void setAlertService(PushTokenSink sink) { m_pushTokenSink = std::move(sink); }

    void didRegisterForRemoteNotifications(const QByteArray &deviceToken);
    void didFailToRegisterForRemoteNotifications(const QString &errorDescription);
    // A payload whose "type" is "command_pending" makes the poller poll at once.
    void didReceiveRemoteNotification(const QJsonObject &payload);

    bool closingLastWindowQuits() const { return false; }

    static QString hexToken(const QByteArray &deviceToken);

private:
    PollNow m_pollNow;
    PushTokenSink m_pushTokenSink;
};

} // namespace vesk
