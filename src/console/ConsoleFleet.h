#pragma once

#include "fleet/APIResult.h"
#include "wire/AnyCodable.h"
#include "wire/DeviceTelemetrySnapshot.h"
#include "wire/FleetAlert.h"
#include "wire/FleetAppStatus.h"
#include "wire/FleetCommandResponse.h"
#include "wire/FleetMachine.h"
#include "wire/MachineNote.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/policy/AppUpdatesResponse.h"
#include "wire/policy/DevicePolicy.h"

#include <QMap>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class FleetAPIClient;

// The fleet calls the console makes. The window and its models see only this, so their logic
// runs in tests over a scripted fleet; the agent hands them the one fleet client.
class ConsoleFleet {
public:
    virtual ~ConsoleFleet() = default;

    virtual QCoro::Task<APIResult<FleetMachineList>> machines() = 0;
    virtual QCoro::Task<APIResult<FleetDeviceStatus>> deviceStatus(QString serial) = 0;
    virtual QCoro::Task<APIResult<DeviceTelemetryResponse>> telemetryHistory(QString serial, int hours) = 0;
    virtual QCoro::Task<APIResult<FleetCommandResponse>> queueCommand(QString serial, QString command,
                                                                      QMap<QString, AnyCodable> params) = 0;
    virtual QCoro::Task<APIResult<QList<FleetAlert>>> fleetAlerts(int limit) = 0;
    virtual QCoro::Task<APIResult<QList<DevicePolicy>>> policies() = 0;
    virtual QCoro::Task<APIStatus> savePolicy(DevicePolicy policy) = 0;
    virtual QCoro::Task<APIStatus> deletePolicy(QUuid id) = 0;
    virtual QCoro::Task<APIResult<MachineNotesResponse>> machineNotes(QString serial) = 0;
    virtual QCoro::Task<APIStatus> addNote(QString serial, QString author, QString note) = 0;
    virtual QCoro::Task<APIStatus> deleteNote(qint64 id) = 0;
    // `alertId` is the alert's FleetAlert::identifier().
    virtual QCoro::Task<APIStatus> acknowledgeAlert(qint64 alertId) = 0;
    virtual QCoro::Task<APIResult<RemoteInstalledAppsResponse>> installedApps(QString serial) = 0;
    // Every release the fleet offers, newest per app as the server lists them.
    virtual QCoro::Task<APIResult<AppUpdatesResponse>> appReleases() = 0;
};

// The console's calls answered by the agent's fleet client.
class FleetClientConsoleFleet : public ConsoleFleet {
public:
    explicit FleetClientConsoleFleet(FleetAPIClient &api) : m_api(api) {}

    QCoro::Task<APIResult<FleetMachineList>> machines() override;
    QCoro::Task<APIResult<FleetDeviceStatus>> deviceStatus(QString serial) override;
    QCoro::Task<APIResult<DeviceTelemetryResponse>> telemetryHistory(QString serial, int hours) override;
    QCoro::Task<APIResult<FleetCommandResponse>> queueCommand(QString serial, QString command,
                                                              QMap<QString, AnyCodable> params) override;
    QCoro::Task<APIResult<QList<FleetAlert>>> fleetAlerts(int limit) override;
    QCoro::Task<APIResult<QList<DevicePolicy>>> policies() override;
    QCoro::Task<APIStatus> savePolicy(DevicePolicy policy) override;
    QCoro::Task<APIStatus> deletePolicy(QUuid id) override;
    QCoro::Task<APIResult<MachineNotesResponse>> machineNotes(QString serial) override;
    QCoro::Task<APIStatus> addNote(QString serial, QString author, QString note) override;
    QCoro::Task<APIStatus> deleteNote(qint64 id) override;
    QCoro::Task<APIStatus> acknowledgeAlert(qint64 alertId) override;
    QCoro::Task<APIResult<RemoteInstalledAppsResponse>> installedApps(QString serial) override;
    QCoro::Task<APIResult<AppUpdatesResponse>> appReleases() override;

private:
    FleetAPIClient &m_api;
};

} // namespace vesk
