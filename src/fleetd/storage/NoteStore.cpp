#include "fleetd/storage/NoteStore.h"

#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

StoreResult<NoteRecord> NoteStore::add(qint64 tenantId, const QString &serial, const QString &author,
                                       const QString &note, const QDateTime &now)
{
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO notes (tenant_id, serial, author, note, created_at)"
                                       " VALUES (:tenant, :serial, :author, :note, :at)"),
                        QStringLiteral("cannot store note"));
    insert.bind(QStringLiteral(":tenant"), tenantId)
        .bind(QStringLiteral(":serial"), serial)
        .bind(QStringLiteral(":author"), author)
        .bind(QStringLiteral(":note"), note)
        .bind(QStringLiteral(":at"), isoTime(now));
    const StoreResult<qint64> id = insert.insertedId();
    return {id.status, {id.value, serial, author, note, isoTime(now)}};
}

StoreResult<QList<NoteRecord>> NoteStore::list(qint64 tenantId, const QString &serial)
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT id, author, note, created_at FROM notes"
                                       " WHERE tenant_id = :tenant AND serial = :serial ORDER BY id"),
                        QStringLiteral("cannot list notes"));
    select.bind(QStringLiteral(":tenant"), tenantId).bind(QStringLiteral(":serial"), serial);
    return select.rows([&serial](const SqlStatement &row) {
        return NoteRecord{row.value(0).toLongLong(), serial, row.value(1).toString(), row.value(2).toString(),
                          row.value(3).toString()};
    });
}

StoreStatus NoteStore::remove(qint64 tenantId, qint64 noteId)
{
    SqlStatement remove(m_connection, QStringLiteral("DELETE FROM notes WHERE id = :id AND tenant_id = :tenant"),
                        QStringLiteral("cannot delete note"));
    remove.bind(QStringLiteral(":id"), noteId).bind(QStringLiteral(":tenant"), tenantId);
    return remove.runChanging(QStringLiteral("no note %1").arg(noteId));
}

} // namespace vesk::fleetd
