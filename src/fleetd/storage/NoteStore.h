#pragma once

#include "fleetd/records/NoteRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

namespace vesk::fleetd {

// Administrators' notes on machines; each note belongs to the tenant that wrote it.
class NoteStore {
public:
    explicit NoteStore(StoreConnection &connection) : m_connection(connection) {}

    StoreResult<NoteRecord> add(qint64 tenantId, const QString &serial, const QString &author, const QString &note,
                                const QDateTime &now);
    // Oldest first.
    StoreResult<QList<NoteRecord>> list(qint64 tenantId, const QString &serial);
    // NotFound for another tenant's note.
    StoreStatus remove(qint64 tenantId, qint64 noteId);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
