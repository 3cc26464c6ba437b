#include "fleetd/http/ReportHandlers.h"

#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/http/TelemetrySnapshot.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonArray>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

} // namespace

QHttpServerResponse ReportHandlers::postTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreStatus stored = m_context.store.reports().addTelemetry(serial, json.object, m_context.now());
    return stored.isOk() ? jsonOk() : storeFailure(stored, QStringLiteral("storing telemetry"));
}

QHttpServerResponse ReportHandlers::getTelemetry(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    const int hours = query.integer(QStringLiteral("hours"), 24, 1, 2160);
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<TelemetryRecord>> rows = m_context.store.reports().telemetrySince(
        serial, m_context.now().addSecs(-3600LL * hours), kMaxTelemetryRows);
    if (!rows.status.isOk())
        return storeFailure(rows.status, QStringLiteral("reading telemetry"));
    QJsonArray telemetry;
    for (const TelemetryRecord &row : rows.value)
        telemetry.append(telemetrySnapshot(row));
    return jsonObject({{QStringLiteral("telemetry"), telemetry}});
}

QHttpServerResponse ReportHandlers::postInstalledApps(const QHttpServerRequest &request,
                                                      const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    const QJsonArray apps = body.array(QStringLiteral("apps"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    for (qsizetype i = 0; i < apps.size(); ++i) {
        if (!apps.at(i).toObject().value(QLatin1String("bundle_id")).isString())
            return jsonError(Status::BadRequest, QStringLiteral("apps[%1] needs a string \"bundle_id\"").arg(i));
    }
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreStatus stored = m_context.store.reports().putInstalledApps(serial, apps, m_context.now());
    return stored.isOk() ? jsonOk() : storeFailure(stored, QStringLiteral("storing installed apps"));
}

QHttpServerResponse ReportHandlers::getInstalledApps(const QHttpServerRequest &request,
                                                     const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<ReportStore::InstalledApps> stored = m_context.store.reports().installedApps(serial);
    QJsonArray apps;
    if (stored.status.isOk()) {
        for (const QJsonValue &app : stored.value.apps) {
            QJsonObject object = app.toObject();
            if (!object.contains(QLatin1String("reported_at")))
                object.insert(QStringLiteral("reported_at"), stored.value.reportedAt);
            apps.append(object);
        }
    } else if (stored.status.code() != StoreStatus::Code::NotFound) {
        return storeFailure(stored.status, QStringLiteral("reading installed apps"));
    }
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("apps"), apps}});
}

QHttpServerResponse ReportHandlers::postLog(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request, kMaxLogBodyBytes);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString bundleId = body.string(QStringLiteral("bundle_id"), true);
    const QString text = body.string(QStringLiteral("log_text"), true);
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<qint64> stored = m_context.store.reports().addLog(serial, bundleId, text, m_context.now());
    if (!stored.status.isOk())
        return storeFailure(stored.status, QStringLiteral("storing the log"));
    return jsonObject({{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("id"), stored.value}});
}

QHttpServerResponse ReportHandlers::getLogs(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    const int limit = query.integer(QStringLiteral("limit"), 50, 1, 500);
    const QString bundleId = query.optionalString(QStringLiteral("bundle_id"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<QList<AppLogRecord>> rows = m_context.store.reports().logs(serial, bundleId, limit);
    if (!rows.status.isOk())
        return storeFailure(rows.status, QStringLiteral("reading logs"));
    QJsonArray logs;
    for (const AppLogRecord &row : rows.value)
        logs.append(appLogJson(row));
    return jsonObject({{QStringLiteral("serial"), serial}, {QStringLiteral("logs"), logs}});
}

} // namespace vesk::fleetd
