#pragma once

#include "fleetd/storage/StoreStatus.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>

class QSqlError;

namespace vesk::fleetd {

class StoreDialect;

// The one database connection a FleetStore opens, shared by its per-area stores, with
// a cache of prepared statements: the hot paths (key checks, command polls) run the
// same few statements thousands of times a second and must not re-prepare them.
class StoreConnection {
public:
    StoreConnection() = default;
    StoreConnection(const StoreConnection &) = delete;
    StoreConnection &operator=(const StoreConnection &) = delete;

    const QString &name() const { return m_name; }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }
    // The open database's dialect; null while closed.
    const StoreDialect *dialect() const { return m_dialect; }

    // A prepared statement for `sql`, prepared on first use. Callers bind, exec, read,
    // and finish() it before returning so no read transaction stays open. Returns
    // nullptr and sets `status` when preparing fails.
    QSqlQuery *statement(const QString &sql, StoreStatus *status);

    // Names the QSqlDatabase connection to use; empty means closed.
    void attach(const QString &name, const StoreDialect *dialect)
    {
        m_name = name;
        m_dialect = dialect;
    }
    // Drops every cached statement and forgets the name; needed before the
    // connection is removed.
    void detach()
    {
        m_statements.clear();
        m_name.clear();
        m_dialect = nullptr;
    }

private:
    QString m_name;
    const StoreDialect *m_dialect = nullptr;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
};

StoreStatus queryFailed(const QString &what, const QSqlError &error);
StoreStatus storeNotOpen();
// Timestamps are stored as ISO 8601 UTC with milliseconds, which also sorts as text.
QString isoTime(const QDateTime &time);

} // namespace vesk::fleetd
