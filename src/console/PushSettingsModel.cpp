#include "console/PushSettingsModel.h"

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "alerts/PushChannel.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "settings/FleetSettingsStore.h"

namespace vesk {

QString PushTexts::permissionText(NotificationAuthorization status)
{
    switch (status) {
    case NotificationAuthorization::notDetermined:
        return QStringLiteral("Notifications: not determined — tap Request Permission");
    case NotificationAuthorization::denied:
        return QStringLiteral("Notifications: denied — open Settings to enable");
    case NotificationAuthorization::authorized:
        return QStringLiteral("Notifications: authorized");
    case NotificationAuthorization::provisional:
        return QStringLiteral("Notifications: provisional");
    case NotificationAuthorization::ephemeral:
        return QStringLiteral("Notifications: ephemeral");
    case NotificationAuthorization::unknown:
        break;
    }
    return QStringLiteral("Notifications: unknown");
}

PushSettingsModel::PushSettingsModel(Services services, DefaultsStore &defaults, Clock &clock, QString serial,
                                     QObject *parent)
    : QObject(parent), m_services(services), m_alerts(services.alerts), m_channel(services.channel),
      m_defaults(defaults), m_clock(clock), m_serial(std::move(serial))
{
    if (m_channel)
        connect(m_channel, &PushChannel::connectedChanged, this, &PushSettingsModel::changed);
    if (m_alerts)
        connect(m_alerts, &AlertService::pushTokenRegisteredChanged, this, &PushSettingsModel::changed);
}

QString PushSettingsModel::channelLine() const
{
    if (!m_channel)
        return tr("Push channel: off — commands arrive by polling");
    return m_channel->isConnected() ? tr("Push channel: connected")
                                    : tr("Push channel: not connected — commands arrive by polling");
}

QString PushSettingsModel::tokenLine() const
{
    if (!m_alerts || !m_alerts->cachedPushToken())
        return tr("Push token: none yet");
    // Enough of the token to tell two machines apart without filling the line.
    const QString shown = m_alerts->cachedPushToken()->left(12) + QStringLiteral("…");
    return m_alerts->pushTokenRegistered() ? tr("Push token: %1 (registered)").arg(shown)
                                           : tr("Push token: %1 (not registered)").arg(shown);
}

QCoro::Task<> PushSettingsModel::registerToken()
{
    QPointer<PushSettingsModel> self(this);
    if (!m_alerts || !m_alerts->cachedPushToken()) {
        if (m_channel) {
            m_channel->stop();
            m_channel->start();
        }
        m_registerResult = m_channel ? tr("Asked the fleet server for a push token…")
                                     : tr("No push token: the push channel is off");
        emit changed();
        co_return;
    }
    const bool hasTenant = !m_defaults.stringValue(FleetSettingsKeys::tenantCode).isEmpty();
    m_registerResult = hasTenant ? tr("Registering…") : tr("Not registered: no photographer account is set");
    emit changed();
    if (!hasTenant)
        co_return;
    // Cleared first, so the line below reports this registration and not an earlier one.
    QPointer<AlertService> alerts = m_alerts;
    alerts->setPushTokenRegistered(false);
    co_await alerts->registerPushToken();
    if (!self || !alerts)
        co_return;
    m_registerResult = alerts->pushTokenRegistered() ? tr("Token registered")
                                                     : tr("Registration failed (see the agent log)");
    emit changed();
}

QCoro::Task<> PushSettingsModel::sendTestPush()
{
    if (!m_services.reporting || m_testing)
        co_return;
    QPointer<PushSettingsModel> self(this);
    m_testing = true;
    m_testResult = PushTexts::sending;
    emit changed();
    AlertReport report;
    report.serial = m_serial;
    report.severity = QStringLiteral("critical");
    report.category = QStringLiteral("test");
    report.title = PushTexts::testTitle;
    report.message = QStringLiteral("If you see this, push notifications are working for ") + m_serial +
                     QStringLiteral(".");
    report.timestamp = m_clock.now();
    const QString tenant = m_defaults.stringValue(FleetSettingsKeys::tenantCode);
    if (!tenant.isEmpty())
        report.tenantCode = tenant;
    AlertReportingApi &api = *m_services.reporting;
    const APIStatus status = co_await api.reportAlert(std::move(report));
    if (!self)
        co_return;
    m_testing = false;
    m_testResult = status ? PushTexts::sent : PushTexts::failedPrefix + status.error().message();
    emit changed();
}

QCoro::Task<> PushSettingsModel::checkStatus()
{
    QPointer<PushSettingsModel> self(this);
    NotificationAuthorization status = NotificationAuthorization::unknown;
    if (m_services.notifier)
        status = co_await m_services.notifier->authorizationStatus();
    if (!self)
        co_return;
    m_statusResult = PushTexts::permissionText(status);
    emit changed();
}

} // namespace vesk
