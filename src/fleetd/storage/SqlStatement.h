#pragma once

#include "fleetd/storage/StoreConnection.h"

#include <QVariant>

namespace vesk::fleetd {

// One use of a cached prepared statement: bind, exec, read; finished on destruction
// so that a SELECT never holds its read snapshot past the store method that ran it.
class SqlStatement {
public:
    SqlStatement(StoreConnection &connection, const QString &sql, QString what);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    // Null strings are stored as empty text; pass QVariant() for SQL NULL.
    SqlStatement &bind(const QString &placeholder, const QVariant &value);
    // False on failure; status() then says why, prefixed with `what`.
    bool exec();
    bool next() { return m_query && m_query->next(); }
    QVariant value(int column) const { return m_query->value(column); }
    qint64 lastInsertId() const { return m_query->lastInsertId().toLongLong(); }
    int rowsAffected() const { return m_query->numRowsAffected(); }
    const StoreStatus &status() const { return m_status; }

private:
    QSqlQuery *m_query = nullptr;
    QString m_what;
    StoreStatus m_status;
};

} // namespace vesk::fleetd
