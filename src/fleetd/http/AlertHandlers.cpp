#include "fleetd/http/AlertHandlers.h"

#include "fleetd/http/BodyReader.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/RecordJson.h"
#include "fleetd/storage/FleetStore.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

const QStringList kSeverities = {QStringLiteral("info"), QStringLiteral("warning"), QStringLiteral("critical")};

} // namespace

QHttpServerResponse AlertHandlers::report(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    AlertRecord alert;
    alert.serial = body.string(QStringLiteral("serial"));
    alert.severity = body.string(QStringLiteral("severity"));
    alert.category = body.string(QStringLiteral("category"));
    alert.title = body.string(QStringLiteral("title"), true);
    alert.message = body.string(QStringLiteral("message"), true);
    alert.timestamp = body.optionalString(QStringLiteral("timestamp"));
    if (body.ok() && !kSeverities.contains(alert.severity))
        return jsonError(Status::BadRequest, QStringLiteral("\"severity\" must be info, warning or critical"));
    if (Refusal refused = refuseMachineRequest(body, m_context.store, tenant, alert.serial))
        return std::move(*refused);
    if (alert.timestamp.isEmpty())
        alert.timestamp = m_context.now().toUTC().toString(Qt::ISODate);
    return storeOutcome(m_context.store.alerts().add(tenant.id, alert, m_context.now()),
                        QStringLiteral("storing the alert"), QStringLiteral("alert_id"));
}

QHttpServerResponse AlertHandlers::acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    const qint64 alertId = body.integer(QStringLiteral("alert_id"));
    const bool acknowledged = body.boolean(QStringLiteral("acknowledged"));
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    return storeOutcome(m_context.store.alerts().acknowledge(tenant.id, alertId, acknowledged, deviceSerial(request),
                                                             m_context.now()),
                        QStringLiteral("acknowledging the alert"));
}

QHttpServerResponse AlertHandlers::list(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const int limit = query.integer(QStringLiteral("limit"), 100, 1, 1000);
    const QString tenantCode = query.optionalString(QStringLiteral("photographer"));
    if (Refusal refused = refuseBadInput(query))
        return std::move(*refused);
    if (!tenantCode.isEmpty() && tenantCode.compare(tenant.code, Qt::CaseInsensitive) != 0)
        return jsonError(Status::Forbidden, QStringLiteral("this fleet key is not for tenant %1").arg(tenantCode));
    const auto toJson = [&tenant](const AlertRecord &alert) { return alertJson(alert, tenant.code); };
    return storeRows(m_context.store.alerts().list(tenant.id, limit), QStringLiteral("listing alerts"),
                     QStringLiteral("alerts"), toJson);
}

QHttpServerResponse AlertHandlers::pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    BodyReader body(request);
    const QString serial = body.string(QStringLiteral("serial"));
    const QString token = body.string(QStringLiteral("token"));
    if (Refusal refused = refuseMachineRequest(body, m_context.store, tenant, serial))
        return std::move(*refused);
    return storeOutcome(
        m_context.store.alerts().registerPushToken(tenant.id, serial, token, body.body(), m_context.now()),
        QStringLiteral("registering the push token"));
}

} // namespace vesk::fleetd
