#pragma once

#include "alerts/AlertService.h"
#include "alerts/PushChannel.h"
#include "platform/Notifier.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class AlertReportingApi;
class Clock;
class DefaultsStore;

namespace PushTexts {
inline const QString agentModeCaption = QStringLiteral(
    "Enable Agent Mode on devices used by support staff. When a fleet machine reports a critical alert (disk full, "
    "app hung, etc.), agents receive a push notification.");
inline const QString scopeAllLocations = QStringLiteral("All locations (photographer)");
inline const QString scopeThisLocation = QStringLiteral("This location only");
inline const QString sending = QStringLiteral("Sending...");
inline const QString sent = QStringLiteral("Sent — check your notifications");
inline const QString failedPrefix = QStringLiteral("Failed: ");
inline const QString testTitle = QStringLiteral("Test Push Notification");
// "Check Status": what the notification centre allows.
QString permissionText(NotificationAuthorization status);
} // namespace PushTexts

// The push part of Settings: the channel's state, the device token and its registration,
// "Register Token", "Check Status" and "Send Test Push" with their result lines. The test push goes out as an
// alert report of category "test", which the fleet server pushes back; nothing is shown
// locally, so a notification that appears proves the round trip.
class PushSettingsModel final : public QObject {
    Q_OBJECT
public:
    struct Services {
        AlertService *alerts = nullptr;
        PushChannel *channel = nullptr;
        AlertReportingApi *reporting = nullptr;
        Notifier *notifier = nullptr; // none: the status reads unknown
    };

    // Where the alert scope picker keeps its choice; the next registration sends it.
    static inline const QString alertScopeKey = QStringLiteral("warden_alert_scope");

    PushSettingsModel(Services services, DefaultsStore &defaults, Clock &clock, QString serial,
                      QObject *parent = nullptr);

    QString channelLine() const;
    QString tokenLine() const;
    const QString &registerResult() const { return m_registerResult; }
    const QString &testResult() const { return m_testResult; }
    const QString &statusResult() const { return m_statusResult; }
    bool canTest() const { return m_services.reporting != nullptr && !m_testing; }

    // With no token yet the channel is opened afresh, which hands one out; with one, it is
    // registered with the fleet server at once (with the alert scope chosen now).
    QCoro::Task<> registerToken();
    QCoro::Task<> sendTestPush();
    QCoro::Task<> checkStatus();

signals:
    void changed();

private:
    Services m_services;
    QPointer<AlertService> m_alerts;
    QPointer<PushChannel> m_channel;
    DefaultsStore &m_defaults;
    Clock &m_clock;
    QString m_serial;
    QString m_registerResult;
    QString m_testResult;
    QString m_statusResult;
    bool m_testing = false;
};

} // namespace vesk
