#pragma once

#include "fleet/APIResult.h"
#include "fleet/ConditionalAnswer.h"
#include "wire/AlertReport.h"
#include "wire/AnyCodable.h"
#include "wire/AppLogEntry.h"
#include "wire/DeviceTelemetrySnapshot.h"
#include "wire/FleetAlert.h"
#include "wire/FleetAppStatus.h"
#include "wire/FleetCommand.h"
#include "wire/FleetCommandResponse.h"
#include "wire/FleetMachine.h"
#include "fleet/FleetExchange.h"
#include "wire/MachineNote.h"
#include "wire/PayloadUpload.h"
#include "wire/PushSession.h"
#include "wire/PushTokenRegistration.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/RemotePayload.h"
#include "fleet/SpeedTest.h"
#include "wire/SpeedTestResult.h"
#include "wire/TelemetryReport.h"
#include "platform/PlatformPaths.h"
#include "wire/policy/AppUpdatesResponse.h"
#include "wire/policy/DevicePolicy.h"
#include "wire/policy/DevicePolicyResponse.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

class FleetSecretManager;
class FleetSettingsStore;
class HttpTransport;
class MachineIdentity;

// The one client through which the agent and its console talk to the fleet server
// (the heartbeat and the pairing requests aside). Holds no mutable state after
// construction, so calls may run concurrently. Every operation ends in its result or
// an APIError whose message is ready for the log, a command result or the console.
class FleetAPIClient {
public:
    struct Dependencies {
        HttpTransport &http;
        FleetSettingsStore &settings;
        FleetSecretManager &secrets;
        MachineIdentity &identity;
        PlatformPaths paths;
        QString baseUrl;    // ends in "/api", no trailing slash
        QString bundleId;   // empty: "com.lumora.VeskWarden"
        QString appVersion; // empty: "1.0"
        MonotonicNow monotonicNow = {}; // empty: the steady clock
    };

    explicit FleetAPIClient(Dependencies deps);


    const QString &baseUrl() const { return m_baseUrl; }
    const QString &bundleId() const { return m_bundleId; }
    const QString &appVersion() const { return m_appVersion; }

    // A tenant code is set and a fleet secret is stored for it.
    QCoro::Task<bool> isConfigured();

    // Agent side.
    QCoro::Task<APIStatus> reportAlert(AlertReport alert);
    // The registration's serial is this machine's unless the caller set one.
    QCoro::Task<APIStatus> registerPushToken(PushTokenRegistration registration);
    QCoro::Task<APIResult<FleetPendingCommands>> fetchPendingCommands();
    // A ticket for this machine's push channel and its device token.
    QCoro::Task<APIResult<PushSession>> openPushSession();
    QCoro::Task<APIStatus> uploadAppLog(QString bundleId, QString logText);
    QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp> apps);
    QCoro::Task<APIStatus> reportTelemetry(TelemetryReport report);
    // "result" is sent only when there is one.
    QCoro::Task<APIStatus> reportCommandResult(qint64 commandId, bool success, std::optional<QString> result);
    QCoro::Task<APIResult<DevicePolicyResponse>> fetchDevicePolicy();
    QCoro::Task<APIResult<AppUpdatesResponse>> fetchAppUpdates();
    // The same reads made conditional: `etag` (from an earlier answer, empty for none) goes
    // out as If-None-Match, and a 304 comes back as an answer without a value.
    QCoro::Task<APIResult<ConditionalAnswer<DevicePolicyResponse>>> fetchDevicePolicyIfChanged(QByteArray etag);
    QCoro::Task<APIResult<ConditionalAnswer<AppUpdatesResponse>>> fetchAppUpdatesIfChanged(QByteArray etag);
    // No result (and no request) while the client is not configured.
    QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest();
    QCoro::Task<APIResult<PayloadResponse>> fetchPayload(qint64 id);
    // The archive in a new temporary file ("payload-…"); the caller removes it.
    QCoro::Task<APIResult<QString>> downloadPayload(qint64 id);

    // Console side.
    // The tenant's machines, as the server's directory lists them.
    QCoro::Task<APIResult<FleetMachineList>> machineDirectory();
    QCoro::Task<APIResult<FleetDeviceStatus>> deviceStatus(QString serial);
    QCoro::Task<APIResult<FleetCommandResponse>> queueCommand(QString serial, QString command,
                                                              QMap<QString, AnyCodable> params);
    QCoro::Task<APIResult<QList<FleetAlert>>> fleetAlerts(int limit);
    // `alertId` is the alert's FleetAlert::identifier().
    QCoro::Task<APIStatus> acknowledgeAlert(qint64 alertId, bool acknowledged);
    QCoro::Task<APIResult<DeviceTelemetryResponse>> telemetryHistory(QString serial, int hours);
    QCoro::Task<APIResult<MachineNotesResponse>> machineNotes(QString serial);
    QCoro::Task<APIStatus> addNote(QString serial, QString author, QString note);
    QCoro::Task<APIStatus> deleteNote(qint64 id);
    // `bundleId` narrows the logs to one app when given.
    QCoro::Task<APIResult<AppLogsResponse>> appLogs(QString serial, int limit, std::optional<QString> bundleId);
    QCoro::Task<APIResult<RemoteInstalledAppsResponse>> installedApps(QString serial);
    QCoro::Task<APIResult<PayloadListResponse>> payloadList();
    QCoro::Task<APIResult<PayloadResponse>> uploadPayload(PayloadUpload upload);
    // The tenant's policies, as the policy editor lists them.
    QCoro::Task<APIResult<QList<DevicePolicy>>> tenantPolicies();
    // The policy with its keys converted to snake_case.
    QCoro::Task<APIStatus> savePolicy(DevicePolicy policy);
    QCoro::Task<APIStatus> deletePolicy(QUuid id);

private:
    QCoro::Task<APIStatus> sendExpectingNothing(FleetRequest request);
    QString serial() const;

    FleetExchange m_exchange;
    SpeedTest m_speedTest;
    FleetSecretManager &m_secrets;
    MachineIdentity &m_identity;
    PlatformPaths m_paths;
    QString m_baseUrl;
    QString m_bundleId;
    QString m_appVersion;
};

} // namespace vesk
