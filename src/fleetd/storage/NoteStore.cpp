#include "fleetd/storage/NoteStore.h"

#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

StoreResult<NoteRecord> NoteStore::add(qint64 tenantId, const QString &serial, const QString &author,
                                       const QString &note, const QDateTime &now)
{
    StoreResult<NoteRecord> result;
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO notes (tenant_id, serial, author, note, created_at)"
                                       " VALUES (:tenant, :serial, :author, :note, :at)"),
                        QStringLiteral("cannot store note"));
    insert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":author"), author)
        .bind(QStringLiteral(":note"), note)
        .bind(QStringLiteral(":at"), isoTime(now));
    if (!insert.exec()) {
        result.status = insert.status();
        return result;
    }
    result.value = {insert.lastInsertId(), serial, author, note, isoTime(now)};
    return result;
}

StoreResult<QList<NoteRecord>> NoteStore::list(qint64 tenantId, const QString &serial)
{
    StoreResult<QList<NoteRecord>> result;
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, author, note, created_at FROM notes"
                                       " WHERE tenant_id = :tenant AND serial = :serial ORDER BY id"),
                        QStringLiteral("cannot list notes"));
    select.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":serial"), serial);
    if (!select.exec()) {
        result.status = select.status();
        return result;
    }
    while (select.next()) {
        result.value.append({select.value(0).toLongLong(), serial, select.value(1).toString(),
                             select.value(2).toString(), select.value(3).toString()});
    }
    return result;
}

StoreStatus NoteStore::remove(qint64 tenantId, qint64 noteId)
{
    SqlStatement remove(m_connection, QStringLiteral("DELETE FROM notes WHERE id = :id AND tenant_id = :tenant"),
                        QStringLiteral("cannot delete note"));
    remove.bind(QStringLiteral(":id"), noteId).bind(QStringLiteral(":tenant"), tenantId);
    if (!remove.exec())
        return remove.status();
    if (remove.rowsAffected() == 0)
        return {StoreStatus::Code::NotFound, QStringLiteral("no note %1").arg(noteId)};
    return StoreStatus::ok();
}

} // namespace vesk::fleetd
