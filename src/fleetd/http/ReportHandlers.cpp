#include "fleetd/http/ReportHandlers.h"

#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/AppLogWire.h"
#include "fleetd/http/InstalledAppWire.h"
#include "fleetd/http/TelemetrySnapshot.h"
#include "fleetd/http/WireBody.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/AppLogUpload.h"
#include "wire/InstalledAppsReport.h"
#include "wire/TelemetryReport.h"

#include <QHttpServerRequest>
#include <QJsonArray>

namespace vesk::fleetd {

QHttpServerResponse ReportHandlers::postTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<TelemetryReport> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    if (Refusal refused = refuseDeviceRequest(body, request, body->serial))
        return std::move(*refused);
    return storeOutcome(m_context.store.reports().addTelemetry(tenant.id, body->serial, body->toJson(), m_context.now()),
                        QStringLiteral("storing telemetry"));
}

QHttpServerResponse ReportHandlers::getTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    const int hours = query.integer(QStringLiteral("hours"), 24, 1, 2160);
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    return storeAnswer(
        m_context.store.reports().telemetrySince(tenant.id, serial, m_context.now().addSecs(-3600LL * hours), kMaxTelemetryRows),
        QStringLiteral("reading telemetry"),
        [](const QList<TelemetryRecord> &rows) { return DeviceTelemetryResponse{wireList(rows)}; });
}

QHttpServerResponse ReportHandlers::postInstalledApps(const QHttpServerRequest &request,
                                                      const TenantRecord &tenant) const
{
    WireBody<InstalledAppsReport> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    if (Refusal refused = refuseDeviceRequest(body, request, body->serial))
        return std::move(*refused);
    return storeOutcome(
        m_context.store.reports().putInstalledApps(tenant.id, body->serial, installedAppsToStore(body->apps), m_context.now()),
                        QStringLiteral("storing installed apps"));
}

QHttpServerResponse ReportHandlers::getInstalledApps(const QHttpServerRequest &request,
                                                     const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<ReportStore::InstalledApps> stored = m_context.store.reports().installedApps(tenant.id, serial);
    RemoteInstalledAppsResponse response{serial, {}};
    if (stored.status.isOk())
        response.apps = installedAppsFromStore(stored.value);
    else if (stored.status.code() != StoreStatus::Code::NotFound)
        return storeFailure(stored.status, QStringLiteral("reading installed apps"));
    return jsonObject(response.toJson());
}

QHttpServerResponse ReportHandlers::postLog(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<AppLogUpload> body(request, kMaxLogBodyBytes);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    if (Refusal refused = refuseDeviceRequest(body, request, body->serial))
        return std::move(*refused);
    return storeOutcome(m_context.store.reports().addLog(tenant.id, body->serial, body->bundleId, body->logText, m_context.now()),
                        QStringLiteral("storing the log"), FleetAck::IdKey::id);
}

QHttpServerResponse ReportHandlers::getLogs(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    const int limit = query.integer(QStringLiteral("limit"), 50, 1, 500);
    const QString bundleId = query.optionalString(QStringLiteral("bundle_id"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    return storeAnswer(m_context.store.reports().logs(tenant.id, serial, bundleId, limit), QStringLiteral("reading logs"),
                       [&serial](const QList<AppLogRecord> &logs) { return AppLogsResponse{serial, wireList(logs)}; });
}

} // namespace vesk::fleetd
