#include "fleetd/http/PolicyHandlers.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/ConditionalResponse.h"
#include "fleetd/http/JsonRequest.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/PolicyBody.h"
#include "fleetd/http/QueryReader.h"
#include "fleetd/http/ReleaseWire.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/policy/DevicePolicyResponse.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

// Policies are only stored once they decode, so a failure here is a damaged store.
QHttpServerResponse undecodable(const PolicyRecord &policy, const QString &error)
{
    qCWarning(lcFleetd) << "stored policy" << policy.uuid << "does not decode:" << error;
    return jsonError(Status::InternalServerError, QStringLiteral("a stored policy could not be read"));
}

} // namespace

QHttpServerResponse PolicyHandlers::list(const QHttpServerRequest &, const TenantRecord &tenant) const
{
    const StoreResult<QList<PolicyRecord>> listed = m_context.store.policies().list(tenant.id);
    if (!listed.status.isOk())
        return storeFailure(listed.status, QStringLiteral("listing policies"));
    QJsonArray policies;
    for (const PolicyRecord &policy : listed.value) {
        QString error;
        const std::optional<DevicePolicy> wire = PolicyBody::toWire(policy, &error);
        if (!wire)
            return undecodable(policy, error);
        policies.append(PolicyBody::wireJson(wire->toJson()));
    }
    return jsonObject({{DevicePolicy::listKey(), policies}});
}

QHttpServerResponse PolicyHandlers::forDevice(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString serial = query.string(QStringLiteral("serial"));
    if (Refusal refused = refuseMachineRequest(query, m_context.store, tenant, serial))
        return std::move(*refused);
    const StoreResult<std::optional<PolicyRecord>> found = m_context.store.policies().forSerial(tenant.id, serial);
    if (!found.status.isOk())
        return storeFailure(found.status, QStringLiteral("reading the device policy"));
    DevicePolicyResponse response;
    if (found.value) {
        QString error;
        response.policy = PolicyBody::toWire(*found.value, &error);
        if (!response.policy)
            return undecodable(*found.value, error);
    }
    return conditionalJson(request, PolicyBody::wireJson(response.toJson()));
}

QHttpServerResponse PolicyHandlers::save(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    const JsonRequest::Result json = JsonRequest::readObject(request);
    if (!json.ok())
        return jsonError(Status::BadRequest, json.error);
    const PolicyBody::Result parsed = PolicyBody::parse(json.object);
    if (!parsed.policy)
        return jsonError(Status::BadRequest, parsed.error);
    // A policy may only be assigned to the tenant's own machines.
    for (const QString &serial : parsed.policy->assignedSerials) {
        if (Refusal refused = refuseForeignMachine(m_context.store, tenant, serial))
            return std::move(*refused);
    }
    const StoreStatus stored = m_context.store.policies().save(tenant.id, *parsed.policy, m_context.now());
    if (!stored.isOk())
        return storeFailure(stored, QStringLiteral("saving the policy"));
    qCInfo(lcFleetd) << "policy" << parsed.policy->uuid << "saved for" << tenant.code;
    FleetAck saved;
    saved.uuid = parsed.policy->uuid;
    return jsonAck(saved);
}

QHttpServerResponse PolicyHandlers::remove(const QHttpServerRequest &request, const TenantRecord &tenant) const
{
    QueryReader query(request);
    const QString uuid = PolicyBody::normalizedUuid(query.string(QStringLiteral("uuid")));
    if (Refusal refused = refuseBadInput(query))
        return std::move(*refused);
    if (uuid.isEmpty())
        return jsonError(Status::BadRequest, QStringLiteral("query item \"uuid\" must be a UUID"));
    return storeOutcome(m_context.store.policies().remove(tenant.id, uuid), QStringLiteral("deleting the policy"));
}

QHttpServerResponse PolicyHandlers::appUpdates(const QHttpServerRequest &request, const TenantRecord &) const
{
    const StoreResult<QList<ReleaseRecord>> releases = m_context.store.releases().list();
    if (!releases.status.isOk())
        return storeFailure(releases.status, QStringLiteral("listing releases"));
    return conditionalJson(request, appUpdatesJson(releases.value, request.url(), m_context.dbPath));
}

} // namespace vesk::fleetd
