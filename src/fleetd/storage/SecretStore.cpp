#include "fleetd/storage/SecretStore.h"

#include "fleetd/storage/ChangeNotices.h"
#include "fleetd/storage/SqlStatement.h"
#include "fleetd/storage/StoreTransaction.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <array>

namespace vesk::fleetd {

namespace {

const QString kSelectSecret = QStringLiteral(
    "SELECT s.id, s.tenant_id, t.code, s.code_sha256, s.preview, s.state, s.issued_at,"
    " COALESCE(s.rotated_at, ''), COALESCE(s.revoked_at, '') FROM fleet_secrets s JOIN tenants t ON t.id = s.tenant_id ");

SecretRecord readSecret(const SqlStatement &row)
{
    return {row.value(0).toLongLong(), row.value(1).toLongLong(), row.value(2).toString(), row.value(3).toString(),
            row.value(4).toString(),   row.value(5).toString(),   row.value(6).toString(), row.value(7).toString(),
            row.value(8).toString()};
}

QString newCode()
{
    std::array<quint32, 8> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words.data()), sizeof(words)).toHex());
}

} // namespace

QString SecretStore::hashCode(const QString &code)
{
    return QString::fromLatin1(QCryptographicHash::hash(code.toUtf8(), QCryptographicHash::Sha256).toHex());
}

StoreResult<SecretStore::Issued> SecretStore::insertActive(qint64 tenantId, const QDateTime &now)
{
    const QString code = newCode();
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO fleet_secrets (tenant_id, code_sha256, preview, state, issued_at)"
                                       " VALUES (:tenant, :hash, :preview, 'active', :at)"),
                        QStringLiteral("cannot store the new secret"));
    insert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":hash"), hashCode(code))
        .bind(QStringLiteral(":preview"), code.left(kPreviewLength))
        .bind(QStringLiteral(":at"), isoTime(now));
    const StoreResult<qint64> id = insert.insertedId();
    return {id.status, {id.value, code, code.left(kPreviewLength)}};
}

StoreStatus SecretStore::retireActive(qint64 tenantId, const QString &state, const QString &timeColumn,
                                      const QDateTime &now)
{
    // The column name is one of ours, never input.
    SqlStatement update(m_connection,
                        QStringLiteral("UPDATE fleet_secrets SET state = :state, %1 = :at"
                                       " WHERE tenant_id = :tenant AND state = 'active'")
                            .arg(timeColumn),
                        QStringLiteral("cannot retire the active secret"));
    update.bind(QStringLiteral(":state"), state)
        .bind(QStringLiteral(":at"), isoTime(now))
        .bind(QStringLiteral(":tenant"), tenantId);
    return update.runChanging(QStringLiteral("the tenant has no active secret"));
}

StoreResult<SecretStore::Issued> SecretStore::issueAfter(qint64 tenantId, const QDateTime &now,
                                                         const std::function<StoreStatus()> &makeRoom)
{
    StoreTransaction transaction(m_connection);
    const StoreStatus ready = transaction.ok() ? makeRoom() : transaction.status();
    if (!ready.isOk())
        return {ready};
    StoreResult<Issued> result = insertActive(tenantId, now);
    if (result.status.isOk())
        result.status = transaction.commit();
    ++m_generation;
    if (result.status.isOk())
        announceChange(m_connection);
    return result;
}

StoreResult<SecretStore::Issued> SecretStore::issue(qint64 tenantId, const QDateTime &now)
{
    return issueAfter(tenantId, now, [&] {
        if (active(tenantId).status.isOk())
            return StoreStatus(StoreStatus::Code::Conflict,
                               QStringLiteral("the tenant already has an active secret; rotate it instead"));
        return StoreStatus::ok();
    });
}

StoreResult<SecretStore::Issued> SecretStore::rotate(qint64 tenantId, const QDateTime &now)
{
    return issueAfter(tenantId, now, [&] {
        return retireActive(tenantId, QStringLiteral("rotated"), QStringLiteral("rotated_at"), now);
    });
}

StoreStatus SecretStore::revoke(qint64 tenantId, const QDateTime &now)
{
    const StoreStatus status = retireActive(tenantId, QStringLiteral("revoked"), QStringLiteral("revoked_at"), now);
    ++m_generation;
    if (status.isOk())
        announceChange(m_connection);
    return status;
}

StoreResult<QList<SecretRecord>> SecretStore::list(qint64 tenantId)
{
    SqlStatement select(m_connection, kSelectSecret + QStringLiteral("WHERE s.tenant_id = :tenant ORDER BY s.id"),
                        QStringLiteral("cannot list secrets"));
    return select.bind(QStringLiteral(":tenant"), tenantId).rows(readSecret);
}

StoreResult<SecretRecord> SecretStore::byId(qint64 id)
{
    SqlStatement select(m_connection, kSelectSecret + QStringLiteral("WHERE s.id = :id"),
                        QStringLiteral("cannot read secret"));
    return select.bind(QStringLiteral(":id"), id).firstRow(readSecret, QStringLiteral("no secret %1").arg(id));
}

StoreResult<SecretRecord> SecretStore::active(qint64 tenantId)
{
    SqlStatement select(m_connection, kSelectSecret + QStringLiteral("WHERE s.tenant_id = :tenant AND s.state = 'active'"),
                        QStringLiteral("cannot read secret"));
    return select.bind(QStringLiteral(":tenant"), tenantId)
        .firstRow(readSecret, QStringLiteral("the tenant has no active secret"));
}

} // namespace vesk::fleetd
