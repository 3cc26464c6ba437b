#include "console/ConsoleFleet.h"

#include "fleet/FleetAPIClient.h"

namespace vesk {

QCoro::Task<APIResult<FleetMachineList>> FleetClientConsoleFleet::machines()
{
    return m_api.machineDirectory();
}

QCoro::Task<APIResult<FleetDeviceStatus>> FleetClientConsoleFleet::deviceStatus(QString serial)
{
    return m_api.deviceStatus(std::move(serial));
}

QCoro::Task<APIResult<DeviceTelemetryResponse>> FleetClientConsoleFleet::telemetryHistory(QString serial, int hours)
{
    return m_api.telemetryHistory(std::move(serial), hours);
}

QCoro::Task<APIResult<FleetCommandResponse>> FleetClientConsoleFleet::queueCommand(QString serial, QString command,
                                                                                   QMap<QString, AnyCodable> params)
{
    return m_api.queueCommand(std::move(serial), std::move(command), std::move(params));
}

QCoro::Task<APIResult<QList<FleetAlert>>> FleetClientConsoleFleet::fleetAlerts(int limit)
{
    return m_api.fleetAlerts(limit);
}

QCoro::Task<APIResult<QList<DevicePolicy>>> FleetClientConsoleFleet::policies()
{
    return m_api.tenantPolicies();
}

QCoro::Task<APIStatus> FleetClientConsoleFleet::savePolicy(DevicePolicy policy)
{
    return m_api.savePolicy(std::move(policy));
}

QCoro::Task<APIStatus> FleetClientConsoleFleet::deletePolicy(QUuid id)
{
    return m_api.deletePolicy(id);
}

QCoro::Task<APIResult<MachineNotesResponse>> FleetClientConsoleFleet::machineNotes(QString serial)
{
    return m_api.machineNotes(std::move(serial));
}

QCoro::Task<APIStatus> FleetClientConsoleFleet::addNote(QString serial, QString author, QString note)
{
    return m_api.addNote(std::move(serial), std::move(author), std::move(note));
}

QCoro::Task<APIStatus> FleetClientConsoleFleet::deleteNote(qint64 id)
{
    return m_api.deleteNote(id);
}

QCoro::Task<APIStatus> FleetClientConsoleFleet::acknowledgeAlert(qint64 alertId)
{
    return m_api.acknowledgeAlert(alertId, true);
}

QCoro::Task<APIResult<RemoteInstalledAppsResponse>> FleetClientConsoleFleet::installedApps(QString serial)
{
    return m_api.installedApps(std::move(serial));
}

QCoro::Task<APIResult<AppUpdatesResponse>> FleetClientConsoleFleet::appReleases()
{
    return m_api.fetchAppUpdates();
}

} // namespace vesk
