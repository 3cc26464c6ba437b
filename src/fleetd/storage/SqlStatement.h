#pragma once

#include "fleetd/storage/StoreConnection.h"

#include <QList>
#include <QVariant>

#include <optional>
#include <type_traits>

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

    // The usual ends of a statement, each running exec() first and carrying its failure:
    // just the outcome;
    StoreStatus run();
    // the outcome, NotFound saying `notFound` when no row changed;
    StoreStatus runChanging(const QString &notFound);
    // the id of the inserted row;
    StoreResult<qint64> insertedId();
    // whether any row came back;
    StoreResult<bool> hasRow();
    // every row, as `read(statement)` makes it;
    template <typename Read>
    auto rows(Read read);
    // the first row, if any;
    template <typename Read>
    auto optionalRow(Read read);
    // the first row, NotFound saying `notFound` when there is none.
    template <typename Read>
    auto firstRow(Read read, const QString &notFound);

private:
    QSqlQuery *m_query = nullptr;
    QString m_what;
    StoreStatus m_status;
};

template <typename Read>
auto SqlStatement::rows(Read read)
{
    StoreResult<QList<std::invoke_result_t<Read &, const SqlStatement &>>> result;
    if (!exec()) {
        result.status = m_status;
        return result;
    }
    while (next())
        result.value.append(read(*this));
    return result;
}

template <typename Read>
auto SqlStatement::optionalRow(Read read)
{
    StoreResult<std::optional<std::invoke_result_t<Read &, const SqlStatement &>>> result;
    if (!exec())
        result.status = m_status;
    else if (next())
        result.value = read(*this);
    return result;
}

template <typename Read>
auto SqlStatement::firstRow(Read read, const QString &notFound)
{
    auto found = optionalRow(read);
    StoreResult<std::remove_cvref_t<decltype(*found.value)>> result{found.status};
    if (!result.status.isOk())
        return result;
    if (found.value)
        result.value = std::move(*found.value);
    else
        result.status = {StoreStatus::Code::NotFound, notFound};
    return result;
}

} // namespace vesk::fleetd
