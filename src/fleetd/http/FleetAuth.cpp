#include "fleetd/http/FleetAuth.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/MachineScope.h"
#include "fleetd/http/TenantHash.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/FleetKey.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

QHttpServerResponse forbidden(const QByteArray &header, const QString &message)
{
    QHttpServerResponse response = jsonError(Status::Forbidden, message);
    response.setHeader(header, QByteArrayLiteral("true"));
    return response;
}

} // namespace

bool FleetAuth::dropCacheIfStale()
{
    const StoreResult<qint64> version = m_context.store.dataVersion();
    const quint64 generation = m_context.store.secrets().generation();
    const quint64 owners = m_context.store.ownership().generation();
    const quint64 commands = m_context.store.commands().generation();
    if (!version.status.isOk() || !m_dataVersion || *m_dataVersion != version.value ||
        generation != m_secretGeneration || owners != m_ownerGeneration || commands != m_commandGeneration ||
        m_cache.size() > kMaxCachedKeys || m_owners.size() > kMaxCachedKeys) {
        m_cache.clear();
        m_owners.clear();
        ++m_epoch;
    }
    m_dataVersion = version.status.isOk() ? std::optional<qint64>(version.value) : std::nullopt;
    m_secretGeneration = generation;
    m_ownerGeneration = owners;
    m_commandGeneration = commands;
    return version.status.isOk();
}

std::optional<quint64> FleetAuth::freshEpoch()
{
    if (!dropCacheIfStale())
        return std::nullopt;
    return m_epoch;
}

std::optional<bool> FleetAuth::ownsMachine(const TenantRecord &tenant, const QString &serial)
{
    auto found = m_owners.constFind(serial);
    if (found == m_owners.constEnd()) {
        const StoreResult<TenantRecord> owner = m_context.store.ownership().owner(serial);
        if (!owner.status.isOk() && owner.status.code() != StoreStatus::Code::NotFound) {
            qCWarning(lcFleetd) << "cannot check a machine's owner:" << owner.status.message();
            return std::nullopt;
        }
        found = m_owners.insert(serial, owner.status.isOk() ? owner.value.id : 0);
    }
    return *found == tenant.id;
}

FleetAuth::Cached FleetAuth::verify(const QByteArray &header)
{
    const std::optional<FleetKey> key = FleetKey::parse(header);
    Cached cached;
    const StoreResult<SecretRecord> secret = m_context.store.secrets().byId(key->secretId);
    if (secret.status.code() == StoreStatus::Code::NotFound) {
        cached.verdict = Verdict::Stale;
        return cached;
    }
    if (!secret.status.isOk()) {
        qCWarning(lcFleetd) << "cannot check a fleet key:" << secret.status.message();
        return cached;
    }
    const SecretRecord &record = secret.value;
    if (SecretStore::hashCode(key->code) != record.codeSha256) {
        cached.verdict = Verdict::Mismatch;
        return cached;
    }
    if (!TenantHash::matches(key->tenantHash, record.tenantCode)) {
        cached.verdict = Verdict::Stale;
        return cached;
    }
    if (record.state == QLatin1String("revoked"))
        cached.verdict = Verdict::Revoked;
    else if (record.state == QLatin1String("rotated"))
        cached.verdict = Verdict::Rotated;
    else
        cached.verdict = Verdict::Accepted;
    cached.tenant = {record.tenantId, record.tenantCode};
    return cached;
}

FleetAuth::Outcome FleetAuth::authenticate(const QHttpServerRequest &request)
{
    const QByteArray header = request.value(QByteArrayLiteral("X-Fleet-Key"));
    if (header.isEmpty())
        return jsonError(Status::Unauthorized, QStringLiteral("missing X-Fleet-Key"));
    const QString serial = deviceSerial(request);
    if (serial.isEmpty())
        return jsonError(Status::Unauthorized, QStringLiteral("missing X-Device-Serial"));

    dropCacheIfStale();
    // Only well-formed keys are cached, so a key found here needs no parsing again.
    auto found = m_cache.constFind(header);
    if (found == m_cache.constEnd()) {
        if (!FleetKey::parse(header))
            return jsonError(Status::Unauthorized,
                             QStringLiteral("X-Fleet-Key is not of the form TENANTHASH.ID.CODE"));
        const Cached verdict = verify(header);
        // A storage failure is not remembered; the next request tries again.
        if (verdict.verdict == Verdict::Failed)
            return jsonError(Status::InternalServerError, QStringLiteral("the fleet key could not be checked"));
        found = m_cache.insert(header, verdict);
    }
    switch (found->verdict) {
    case Verdict::Accepted: {
        const TenantRecord tenant = found->tenant;
        const std::optional<bool> owns = ownsMachine(tenant, serial);
        if (!owns)
            return jsonError(Status::InternalServerError, QStringLiteral("the machine could not be checked"));
        if (!*owns)
            return jsonError(Status::Forbidden,
                             QStringLiteral("machine %1 is not registered to this tenant").arg(serial));
        return tenant;
    }
    case Verdict::Stale:
        return forbidden(QByteArrayLiteral("X-Fleet-Secret-Stale"),
                         QStringLiteral("this fleet secret is not current for the tenant"));
    case Verdict::Mismatch:
        return forbidden(QByteArrayLiteral("X-Fleet-Secret-Mismatch"),
                         QStringLiteral("the code does not match the fleet secret id"));
    case Verdict::Revoked:
        return forbidden(QByteArrayLiteral("X-Fleet-Secret-Revoked"), QStringLiteral("this fleet secret was revoked"));
    case Verdict::Rotated:
        return forbidden(QByteArrayLiteral("X-Fleet-Secret-Rotated"), QStringLiteral("this fleet secret was rotated"));
    case Verdict::Failed:
        break;
    }
    return jsonError(Status::InternalServerError, QStringLiteral("the fleet key could not be checked"));
}

} // namespace vesk::fleetd
