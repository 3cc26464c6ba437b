#include "fleet/FleetAPIClient.h"

#include "pairing/FleetSecretManager.h"
#include "fleet/MultipartBody.h"
#include "fleet/ResponseDecoding.h"
#include "platform/MachineIdentity.h"
#include "wire/AlertAcknowledgement.h"
#include "wire/AppLogUpload.h"
#include "wire/CommandPollRequest.h"
#include "wire/CommandQueueRequest.h"
#include "wire/CommandResultReport.h"
#include "wire/InstalledAppsReport.h"
#include "wire/JsonReader.h"
#include "wire/NewMachineNote.h"

#include <QDir>
#include <QTemporaryFile>

namespace vesk {

namespace {

using Query = QList<QPair<QString, QString>>;

// Decodes a successful exchange, or passes its error on.
template <class T>
APIResult<T> decoded(const APIResult<HttpResponse> &response, const QString &label, KeyStyle style = KeyStyle::wire)
{
    if (!response)
        return response.error();
    return decodeResponse<T>(label, response->body, style);
}

// The policy directory's answer: {"policies": [...]}.
struct TenantPolicies {
    QList<DevicePolicy> policies;

    static std::optional<TenantPolicies> fromJson(const QJsonValue &json, QString *error)
    {
        JsonReader in(json, QStringLiteral("TenantPolicies"));
        TenantPolicies list;
        list.policies = in.requiredList<DevicePolicy>(DevicePolicy::listKey());
        return in.finish(std::move(list), error);
    }
};

// Decodes a successful conditional exchange (nothing to decode after a 304), or passes its error on.
template <class T>
APIResult<ConditionalAnswer<T>> decodedConditional(const APIResult<HttpResponse> &response, const QString &label)
{
    if (!response)
        return response.error();
    ConditionalAnswer<T> answer;
    answer.etag = response->header("ETag").value_or(QByteArray());
    if (response->status == 304)
        return answer;
    APIResult<T> value = decodeResponse<T>(label, response->body, KeyStyle::convertedWire);
    if (!value)
        return value.error();
    answer.value = std::move(value).value();
    return answer;
}

// A QTemporaryFile name template in the temporary folder, which is created when missing.
QString templateIn(const QString &folder, const QString &prefix)
{
    const QString dir = folder.isEmpty() ? QDir::tempPath() : folder;
    QDir().mkpath(dir);
    return QDir(dir).filePath(prefix + QStringLiteral("XXXXXX"));
}

} // namespace

FleetAPIClient::FleetAPIClient(Dependencies deps)
    : m_exchange(FleetExchange::Dependencies{deps.http, deps.settings, deps.secrets, deps.identity, deps.baseUrl})
    , m_speedTest(m_exchange, std::move(deps.monotonicNow))
    , m_secrets(deps.secrets)
    , m_identity(deps.identity)
    , m_paths(std::move(deps.paths))
    , m_baseUrl(std::move(deps.baseUrl))
    , m_bundleId(deps.bundleId.isEmpty() ? QStringLiteral("com.lumora.VeskWarden") : std::move(deps.bundleId))
    , m_appVersion(deps.appVersion.isEmpty() ? QStringLiteral("1.0") : std::move(deps.appVersion))
{
}

QString FleetAPIClient::serial() const
{
    return m_identity.serialOrUnknown();
}

QCoro::Task<bool> FleetAPIClient::isConfigured()
{
    const QString tenant = m_exchange.tenant();
    if (tenant.isEmpty())
        co_return false;
    const std::optional<StoredFleetSecret> secret = co_await m_secrets.storedSecret(tenant);
    co_return secret.has_value();
}

QCoro::Task<APIStatus> FleetAPIClient::sendExpectingNothing(FleetRequest request)
{
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    if (!response)
        co_return APIStatus(response.error());
    co_return APIStatus();
}

QCoro::Task<APIStatus> FleetAPIClient::reportAlert(AlertReport alert)
{
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_alert"), alert.toJson());
    request.namedSerial = alert.serial;
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::registerPushToken(PushTokenRegistration registration)
{
    if (registration.serial.isEmpty())
        registration.serial = serial();
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("push_token"), registration.toJson());
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIResult<FleetPendingCommands>> FleetAPIClient::fetchPendingCommands()
{
    const CommandPollRequest body{serial()};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_commands"), body.toJson());
    request.namedSerial = body.serial;
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<FleetPendingCommands>(response, QStringLiteral("Command poll"));
}

QCoro::Task<APIResult<PushSession>> FleetAPIClient::openPushSession()
{
    const CommandPollRequest body{serial()};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("push_session"), body.toJson());
    request.namedSerial = body.serial;
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<PushSession>(response, QStringLiteral("Push session"));
}

QCoro::Task<APIStatus> FleetAPIClient::uploadAppLog(QString bundleId, QString logText)
{
    const AppLogUpload body{serial(), std::move(bundleId), std::move(logText)};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_logs"), body.toJson());
    request.namedSerial = body.serial;
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::reportInstalledApps(QList<RemoteInstalledApp> apps)
{
    const InstalledAppsReport body{serial(), std::move(apps)};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_installed_apps"), body.toJson());
    request.namedSerial = body.serial;
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::reportTelemetry(TelemetryReport report)
{
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_telemetry"), report.toJson());
    request.namedSerial = report.serial;
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::reportCommandResult(qint64 commandId, bool success,
                                                            std::optional<QString> result)
{
    const CommandResultReport body{commandId, success, std::move(result)};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_command_result"), body.toJson());
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIResult<DevicePolicyResponse>> FleetAPIClient::fetchDevicePolicy()
{
    FleetRequest request = FleetRequest::get(QStringLiteral("device_policy"), {{QStringLiteral("serial"), serial()}});
    request.namedSerial = serial();
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<DevicePolicyResponse>(response, QStringLiteral("Device policy"), KeyStyle::convertedWire);
}

QCoro::Task<APIResult<AppUpdatesResponse>> FleetAPIClient::fetchAppUpdates()
{
    FleetRequest request = FleetRequest::get(QStringLiteral("app_updates"));
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<AppUpdatesResponse>(response, QStringLiteral("App updates"), KeyStyle::convertedWire);
}

QCoro::Task<APIResult<ConditionalAnswer<DevicePolicyResponse>>>
FleetAPIClient::fetchDevicePolicyIfChanged(QByteArray etag)
{
    FleetRequest request = FleetRequest::get(QStringLiteral("device_policy"), {{QStringLiteral("serial"), serial()}});
    request.namedSerial = serial();
    request.ifNoneMatch = std::move(etag);
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decodedConditional<DevicePolicyResponse>(response, QStringLiteral("Device policy"));
}

QCoro::Task<APIResult<ConditionalAnswer<AppUpdatesResponse>>> FleetAPIClient::fetchAppUpdatesIfChanged(QByteArray etag)
{
    FleetRequest request = FleetRequest::get(QStringLiteral("app_updates"));
    request.ifNoneMatch = std::move(etag);
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decodedConditional<AppUpdatesResponse>(response, QStringLiteral("App updates"));
}

QCoro::Task<APIResult<std::optional<SpeedTestResult>>> FleetAPIClient::runSpeedTest()
{
    using Result = APIResult<std::optional<SpeedTestResult>>;
    const bool configured = co_await isConfigured();
    if (!configured)
        co_return Result(std::optional<SpeedTestResult>());
    const APIResult<SpeedTestResult> measured = co_await m_speedTest.run();
    if (!measured)
        co_return Result(measured.error());
    co_return Result(std::optional<SpeedTestResult>(*measured));
}

QCoro::Task<APIResult<PayloadResponse>> FleetAPIClient::fetchPayload(qint64 id)
{
    FleetRequest request = FleetRequest::get(QStringLiteral("payload"), {{QStringLiteral("id"), QString::number(id)}});
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<PayloadResponse>(response, QStringLiteral("Payload"));
}

QCoro::Task<APIResult<QString>> FleetAPIClient::downloadPayload(qint64 id)
{
    // The archive streams into a temporary file that the caller owns from here on.
    QTemporaryFile file(templateIn(m_paths.tempDir, QStringLiteral("payload-")));
    file.setAutoRemove(false);
    if (!file.open())
        co_return APIResult<QString>(
            APIError::networkError(QStringLiteral("Couldn't save the payload: ") + file.errorString()));
    const QString path = file.fileName();
    file.close();

    FleetRequest request =
        FleetRequest::get(QStringLiteral("payload_download"), {{QStringLiteral("id"), QString::number(id)}});
    request.transfer = true;
    request.responseFile = path;
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    if (!response) {
        QFile::remove(path);
        co_return APIResult<QString>(response.error());
    }
    co_return APIResult<QString>(path);
}

QCoro::Task<APIResult<FleetMachineList>> FleetAPIClient::machineDirectory()
{
    FleetRequest request = FleetRequest::get(QStringLiteral("devices"));
    // A few hundred bytes a machine: tens of thousands of machines pass an ordinary answer's cap.
    request.maxResponseBytes = 16LL * 1024 * 1024;
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<FleetMachineList>(response, QStringLiteral("Machine directory"));
}

QCoro::Task<APIResult<FleetDeviceStatus>> FleetAPIClient::deviceStatus(QString serial)
{
    FleetRequest request = FleetRequest::get(QStringLiteral("device_status"), {{QStringLiteral("serial"), serial}});
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<FleetDeviceStatus>(response, QStringLiteral("Device status"));
}

QCoro::Task<APIResult<FleetCommandResponse>> FleetAPIClient::queueCommand(QString serial, QString command,
                                                                          QMap<QString, AnyCodable> params)
{
    const CommandQueueRequest body{std::move(serial), std::move(command), std::move(params)};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_command"), body.toJson());
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<FleetCommandResponse>(response, QStringLiteral("Device command"));
}

QCoro::Task<APIResult<QList<FleetAlert>>> FleetAPIClient::fleetAlerts(int limit)
{
    Query query{{QStringLiteral("limit"), QString::number(limit)}};
    const QString tenant = m_exchange.tenant();
    if (!tenant.isEmpty())
        query.append({QStringLiteral("photographer"), tenant});
    FleetRequest request = FleetRequest::get(QStringLiteral("fleet_alerts"), query);
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    const APIResult<FleetAlertsResponse> list = decoded<FleetAlertsResponse>(response, QStringLiteral("Fleet alerts"));
    if (!list)
        co_return APIResult<QList<FleetAlert>>(list.error());
    co_return APIResult<QList<FleetAlert>>(list->alerts);
}

QCoro::Task<APIStatus> FleetAPIClient::acknowledgeAlert(qint64 alertId, bool acknowledged)
{
    const AlertAcknowledgement body{alertId, acknowledged};
    FleetRequest request = FleetRequest::json("PUT", QStringLiteral("device_alert"), body.toJson());
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIResult<DeviceTelemetryResponse>> FleetAPIClient::telemetryHistory(QString serial, int hours)
{
    const Query query{{QStringLiteral("serial"), serial}, {QStringLiteral("hours"), QString::number(hours)}};
    FleetRequest request = FleetRequest::get(QStringLiteral("device_telemetry"), query);
    // Up to 10 000 snapshots (the server's cap) of a KiB or more each: past an ordinary answer's cap.
    request.maxResponseBytes = 32LL * 1024 * 1024;
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<DeviceTelemetryResponse>(response, QStringLiteral("Device telemetry"));
}

QCoro::Task<APIResult<MachineNotesResponse>> FleetAPIClient::machineNotes(QString serial)
{
    FleetRequest request = FleetRequest::get(QStringLiteral("device_notes"), {{QStringLiteral("serial"), serial}});
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<MachineNotesResponse>(response, QStringLiteral("Machine notes"));
}

QCoro::Task<APIStatus> FleetAPIClient::addNote(QString serial, QString author, QString note)
{
    const NewMachineNote body{std::move(serial), std::move(author), std::move(note)};
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("device_notes"), body.toJson());
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::deleteNote(qint64 id)
{
    FleetRequest request = FleetRequest::withoutBody("DELETE", QStringLiteral("device_notes"),
                                                     {{QStringLiteral("id"), QString::number(id)}});
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIResult<AppLogsResponse>> FleetAPIClient::appLogs(QString serial, int limit,
                                                                std::optional<QString> bundleId)
{
    Query query{{QStringLiteral("serial"), serial}, {QStringLiteral("limit"), QString::number(limit)}};
    if (bundleId)
        query.append({QStringLiteral("bundle_id"), *bundleId});
    FleetRequest request = FleetRequest::get(QStringLiteral("device_logs"), query);
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<AppLogsResponse>(response, QStringLiteral("App logs"));
}

QCoro::Task<APIResult<RemoteInstalledAppsResponse>> FleetAPIClient::installedApps(QString serial)
{
    FleetRequest request =
        FleetRequest::get(QStringLiteral("device_installed_apps"), {{QStringLiteral("serial"), serial}});
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<RemoteInstalledAppsResponse>(response, QStringLiteral("Installed apps"));
}

QCoro::Task<APIResult<PayloadListResponse>> FleetAPIClient::payloadList()
{
    FleetRequest request = FleetRequest::get(QStringLiteral("payloads"));
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<PayloadListResponse>(response, QStringLiteral("Payloads"));
}

QCoro::Task<APIResult<PayloadResponse>> FleetAPIClient::uploadPayload(PayloadUpload upload)
{
    const MultipartBody multipart(upload);
    // The body is staged in a temporary file and sent from there as it is read.
    QTemporaryFile staged(templateIn(m_paths.tempDir, QStringLiteral("payload-upload-")));
    if (!staged.open() || staged.write(multipart.bytes()) != multipart.bytes().size() || !staged.flush())
        co_return APIResult<PayloadResponse>(
            APIError::networkError(QStringLiteral("Couldn't stage the upload: ") + staged.errorString()));
    staged.close();
    FleetRequest request = FleetRequest::withoutBody("POST", QStringLiteral("payload"));
    request.contentType = multipart.contentType();
    request.transfer = true;
    request.bodyFile = staged.fileName();
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    co_return decoded<PayloadResponse>(response, QStringLiteral("Payload upload"));
}

QCoro::Task<APIResult<QList<DevicePolicy>>> FleetAPIClient::tenantPolicies()
{
    FleetRequest request = FleetRequest::get(QStringLiteral("policies"));
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    const APIResult<TenantPolicies> list =
        decoded<TenantPolicies>(response, QStringLiteral("Policies"), KeyStyle::convertedWire);
    if (!list)
        co_return APIResult<QList<DevicePolicy>>(list.error());
    co_return APIResult<QList<DevicePolicy>>(list->policies);
}

QCoro::Task<APIStatus> FleetAPIClient::savePolicy(DevicePolicy policy)
{
    const QJsonObject body = KeyCase::toSnakeCase(policy.toJson()).toObject();
    FleetRequest request = FleetRequest::json("POST", QStringLiteral("policy"), body);
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

QCoro::Task<APIStatus> FleetAPIClient::deletePolicy(QUuid id)
{
    const Query query{{QStringLiteral("uuid"), id.toString(QUuid::WithoutBraces).toUpper()}};
    FleetRequest request = FleetRequest::withoutBody("DELETE", QStringLiteral("policy"), query);
    const APIStatus status = co_await sendExpectingNothing(std::move(request));
    co_return status;
}

} // namespace vesk
