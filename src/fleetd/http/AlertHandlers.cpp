#include "fleetd/http/AlertHandlers.h"

#include "fleetd/http/AlertWire.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/FleetdLog.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/PushHub.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/WireBody.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/AlertAcknowledgement.h"
#include "wire/AlertReport.h"
#include "wire/PushTokenRegistration.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

const QStringList kSeverities = {QStringLiteral("info"), QStringLiteral("warning"), QStringLiteral("critical")};

} // namespace

QHttpServerResponse AlertHandlers::report(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<AlertReport> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    body.require(isFilled(body->severity), mustNotBeEmpty("severity"));
    body.require(isFilled(body->category), mustNotBeEmpty("category"));
    if (body.ok() && !kSeverities.contains(body->severity))
        return jsonError(Status::BadRequest, QStringLiteral("\"severity\" must be info, warning or critical"));
    if (Refusal refused = refuseDeviceRequest(body, request, body->serial))
        return std::move(*refused);
    if (!m_perMachine->allow(QString::number(tenant.id) + QLatin1Char('/') + body->serial, m_context.now())) {
        QHttpServerResponse refused = jsonError(
            Status::TooManyRequests, QStringLiteral("more than %1 alerts a minute from this machine").arg(kAlertsPerMachine));
        refused.setHeader(QByteArrayLiteral("Retry-After"), QByteArrayLiteral("60"));
        return refused;
    }
    AlertRecord alert;
    alert.serial = body->serial;
    alert.severity = body->severity;
    alert.category = body->category;
    alert.title = body->title;
    alert.message = body->message;
    alert.timestamp = body->timestamp.value_or(m_context.now()).toUTC().toString(Qt::ISODate);
    const StoreResult<qint64> added = m_context.store.alerts().add(tenant.id, alert, m_context.now());
    // A clearing closes itself along with the alerts it clears.
    if (added.status.isOk() && body->resolved.value_or(false)) {
        const StoreStatus cleared = m_context.store.alerts().acknowledgeCleared(
            tenant.id, alert.serial, alert.category, QStringLiteral("resolved"), m_context.now());
        if (!cleared.isOk())
            return storeOutcome(cleared, QStringLiteral("acknowledging cleared alerts"));
    }
    if (added.status.isOk() && !body->resolved.value_or(false) && alert.severity == QLatin1String("critical"))
        announceToAgents(tenant.id, alert, added.value);
    return storeOutcome(added, QStringLiteral("storing the alert"), FleetAck::IdKey::alertId);
}

void AlertHandlers::announceToAgents(qint64 tenantId, const AlertRecord &alert, qint64 alertId) const
{
    if (!m_hub)
        return;
    const StoreResult<QStringList> receivers = m_context.store.alerts().agentModeReceivers(tenantId, alert.serial);
    // The alert is stored; a failed lookup costs the pushes only.
    if (!receivers.status.isOk()) {
        qCWarning(lcFleetd) << "agent-mode push skipped:" << receivers.status.message();
        return;
    }
    const QJsonObject payload{{QStringLiteral("type"), QStringLiteral("alert")},
                              {QStringLiteral("alert_id"), alertId},
                              {QStringLiteral("serial"), alert.serial},
                              {QStringLiteral("severity"), alert.severity},
                              {QStringLiteral("category"), alert.category},
                              {QStringLiteral("title"), alert.title},
                              {QStringLiteral("message"), alert.message},
                              {QStringLiteral("timestamp"), alert.timestamp}};
    for (const QString &serial : receivers.value)
        m_hub->push(serial, payload);
}

QHttpServerResponse AlertHandlers::acknowledge(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const WireBody<AlertAcknowledgement> body(request);
    if (Refusal refused = refuseBadInput(body))
        return std::move(*refused);
    return storeOutcome(m_context.store.alerts().acknowledge(tenant.id, body->alertId, body->acknowledged,
                                                             deviceSerial(request),
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
    return storeAnswer(m_context.store.alerts().list(tenant.id, limit), QStringLiteral("listing alerts"),
                       [&tenant](const QList<AlertRecord> &alerts) {
                           FleetAlertsResponse answer;
                           for (const AlertRecord &alert : alerts)
                               answer.alerts.append(toWire(alert, tenant.code));
                           return answer;
                       });
}

QHttpServerResponse AlertHandlers::pushToken(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    WireBody<PushTokenRegistration> body(request);
    body.require(isFilled(body->serial), mustNotBeEmpty("serial"));
    body.require(isFilled(body->token), mustNotBeEmpty("token"));
    if (Refusal refused = refuseDeviceRequest(body, request, body->serial))
        return std::move(*refused);
    return storeOutcome(m_context.store.alerts().registerPushToken(tenant.id, body->serial, body->token,
                                                                   body->toJson(), m_context.now()),
                        QStringLiteral("registering the push token"));
}

} // namespace vesk::fleetd
