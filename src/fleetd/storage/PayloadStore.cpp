#include "fleetd/storage/PayloadStore.h"

#include "fleetd/storage/SqlStatement.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

const QString kSelectPayload = QStringLiteral(
    "SELECT p.id, t.code, p.name, p.notes, p.filename, p.sha256, p.target_path, p.relaunch_json, p.size_bytes,"
    " p.created_by, p.created_at FROM payloads p JOIN tenants t ON t.id = p.tenant_id ");

PayloadRecord readPayload(const SqlStatement &row)
{
    PayloadRecord payload;
    payload.id = row.value(0).toLongLong();
    payload.tenantCode = row.value(1).toString();
    payload.name = row.value(2).toString();
    payload.notes = row.value(3).toString();
    payload.filename = row.value(4).toString();
    payload.sha256 = row.value(5).toString();
    payload.targetPath = row.value(6).toString();
    for (const QJsonValue &id : QJsonDocument::fromJson(row.value(7).toString().toUtf8()).array())
        payload.relaunchBundleIds.append(id.toString());
    payload.sizeBytes = row.value(8).toLongLong();
    payload.createdBy = row.value(9).toString();
    payload.createdAt = row.value(10).toString();
    return payload;
}

} // namespace

StoreResult<PayloadRecord> PayloadStore::add(const TenantRecord &tenant, PayloadRecord payload,
                                             const QByteArray &archive, const QDateTime &now)
{
    payload.tenantCode = tenant.code;
    payload.sha256 = QString::fromLatin1(QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());
    payload.sizeBytes = archive.size();
    payload.createdAt = isoTime(now);
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO payloads (tenant_id, name, notes, filename, sha256, target_path,"
                                       " relaunch_json, size_bytes, created_by, created_at, data) VALUES (:tenant,"
                                       " :name, :notes, :filename, :sha, :target, :relaunch, :size, :by, :at, :data)"),
                        QStringLiteral("cannot store payload"));
    insert.bind(QStringLiteral(":tenant"), tenant.id)
        .bind(QStringLiteral(":name"), payload.name)
        .bind(QStringLiteral(":notes"), payload.notes)
        .bind(QStringLiteral(":filename"), payload.filename)
        .bind(QStringLiteral(":sha"), payload.sha256)
        .bind(QStringLiteral(":target"), payload.targetPath)
        .bind(QStringLiteral(":relaunch"), QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(
                                                                  payload.relaunchBundleIds))
                                                                  .toJson(QJsonDocument::Compact)))
        .bind(QStringLiteral(":size"), payload.sizeBytes)
        .bind(QStringLiteral(":by"), payload.createdBy)
        .bind(QStringLiteral(":at"), payload.createdAt)
        .bind(QStringLiteral(":data"), archive);
    const StoreResult<qint64> id = insert.insertedId();
    payload.id = id.value;
    return {id.status, payload};
}

StoreResult<PayloadRecord> PayloadStore::get(qint64 tenantId, qint64 payloadId)
{
    SqlStatement select(m_connection, kSelectPayload + QStringLiteral("WHERE p.id = :id AND p.tenant_id = :tenant"),
                        QStringLiteral("cannot read payload"));
    select.bind(QStringLiteral(":id"), payloadId).bind(QStringLiteral(":tenant"), tenantId);
    return select.firstRow(readPayload, QStringLiteral("no payload %1").arg(payloadId));
}

StoreResult<QByteArray> PayloadStore::archive(qint64 tenantId, qint64 payloadId)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT data FROM payloads WHERE id = :id AND tenant_id = :tenant"),
                        QStringLiteral("cannot read payload archive"));
    select.bind(QStringLiteral(":id"), payloadId).bind(QStringLiteral(":tenant"), tenantId);
    return select.firstRow([](const SqlStatement &row) { return row.value(0).toByteArray(); },
                           QStringLiteral("no payload %1").arg(payloadId));
}

StoreResult<QList<PayloadRecord>> PayloadStore::list(qint64 tenantId)
{
    SqlStatement select(m_connection, kSelectPayload + QStringLiteral("WHERE p.tenant_id = :tenant ORDER BY p.id DESC"),
                        QStringLiteral("cannot list payloads"));
    select.bind(QStringLiteral(":tenant"), tenantId);
    return select.rows(readPayload);
}

} // namespace vesk::fleetd
