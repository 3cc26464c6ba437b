#include "fleetd/http/AlertHandlers.h"

#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>
#include <QJsonArray>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

const QStringList kSeverities = {QStringLiteral("info"), QStringLiteral("warning"), QStringLiteral("critical")};

} // namespace

QHttpServerResponse AlertHandlers::report(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    AlertRecord alert;
    alert.serial = body.string(QStringLiteral("serial"));
    alert.severity = body.string(QStringLiteral("severity"));
    alert.category = body.string(QStringLiteral("category"));
    alert.title = body.string(QStringLiteral("title"), true);
    alert.message = body.string(QStringLiteral("message"), true);
    alert.timestamp = body.optionalString(QStringLiteral("timestamp"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (alert.timestamp.isEmpty())
        alert.timestamp = m_context.now().toUTC().toString(Qt::ISODate);
    if (!kSeverities.contains(alert.severity))
        return jsonError(Status::BadRequest, QStringLiteral("\"severity\" must be info, warning or critical"));
    if (auto refused = refuseForeignMachine(m_context.store, tenant, alert.serial))
        return std::move(*refused);
    const StoreResult<qint64> stored = m_context.store.alerts().add(tenant.id, alert, m_context.now());
    if (!stored.status.isOk())
        return storeFailure(stored.status, QStringLiteral("storing the alert"));
    return jsonObject({{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("alert_id"), stored.value}});
}

QHttpServerResponse AlertHandlers::acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const qint64 alertId = body.integer(QStringLiteral("alert_id"));
    const bool acknowledged = body.boolean(QStringLiteral("acknowledged"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    const QString by = QString::fromUtf8(request.value(QByteArrayLiteral("X-Device-Serial"))).trimmed();
    const StoreStatus stored =
        m_context.store.alerts().acknowledge(tenant.id, alertId, acknowledged, by, m_context.now());
    return stored.isOk() ? jsonOk() : storeFailure(stored, QStringLiteral("acknowledging the alert"));
}

QHttpServerResponse AlertHandlers::list(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const int limit = query.integer(QStringLiteral("limit"), 100, 1, 1000);
    const QString photographer = query.optionalString(QStringLiteral("photographer"));
    if (!query.ok())
        return jsonError(Status::BadRequest, query.error());
    if (!photographer.isEmpty() && photographer.compare(tenant.code, Qt::CaseInsensitive) != 0)
        return jsonError(Status::Forbidden, QStringLiteral("this fleet key is not for account %1").arg(photographer));
    const StoreResult<QList<AlertRecord>> rows = m_context.store.alerts().list(tenant.id, limit);
    if (!rows.status.isOk())
        return storeFailure(rows.status, QStringLiteral("listing alerts"));
    QJsonArray alerts;
    for (const AlertRecord &alert : rows.value)
        alerts.append(alertJson(alert, tenant.code));
    return jsonObject({{QStringLiteral("alerts"), alerts}});
}

QHttpServerResponse AlertHandlers::pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    BodyReader body(json.object);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString token = body.string(QStringLiteral("token"));
    if (!body.ok())
        return jsonError(Status::BadRequest, body.error());
    if (auto refused = refuseForeignMachine(m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreStatus stored =
        m_context.store.alerts().registerPushToken(tenant.id, serial, token, json.object, m_context.now());
    return stored.isOk() ? jsonOk() : storeFailure(stored, QStringLiteral("registering the push token"));
}

} // namespace vesk::fleetd
