#include "app/AgentStatusModel.h"

#include "alerts/AlertService.h"
#include "app/VeskWardenApp.h"
#include "app/WardenHeartbeatManager.h"
#include "pairing/FleetSecretManager.h"
#include "platform/Clock.h"

namespace vesk {

AgentStatusModel::AgentStatusModel(VeskWardenApp &app, WardenHeartbeatManager &heartbeat,
                                   FleetSecretManager &secrets, Clock &clock, QObject *parent)
    : QObject(parent), m_secrets(secrets), m_clock(clock)
{
    m_status.servicesRunning = app.servicesStarted();
    m_status.lastHeartbeat = heartbeat.lastHeartbeat();
    connect(&app, &VeskWardenApp::servicesStartedChanged, this, [this](bool started) {
        m_status.servicesRunning = started;
        emit changed();
        refreshPairing();
    });
    connect(&heartbeat, &WardenHeartbeatManager::heartbeatFinished, this, [this](const HeartbeatOutcome &outcome) {
        m_status.lastHeartbeat = outcome;
        emit changed();
        refreshPairing();
    });
    refreshPairing();
}

void AgentStatusModel::attachAlertService(AlertService &alerts)
{
    const auto take = [this, &alerts] {
        m_status.activeAlerts = alerts.activeAlerts();
        emit changed();
    };
    connect(&alerts, &AlertService::alertsChanged, this, take);
    take();
}

QTimeZone AgentStatusModel::timeZone() const
{
    return m_clock.timeZone();
}

void AgentStatusModel::refreshPairing()
{
    readPairing(QPointer<AgentStatusModel>(this), m_secrets, ++m_pairingReads);
}

QCoro::Task<> AgentStatusModel::readPairing(QPointer<AgentStatusModel> self, FleetSecretManager &secrets,
                                            quint64 read)
{
    const PairingStatus pairing = co_await secrets.pairingStatus();
    // Reads may finish out of order; only the latest one speaks.
    if (!self || read != self->m_pairingReads)
        co_return;
    if (self->m_status.pairing == pairing)
        co_return;
    self->m_status.pairing = pairing;
    emit self->changed();
}

} // namespace vesk
