#include "fleetd/storage/SqlStatement.h"

#include <QSqlError>

namespace vesk::fleetd {

SqlStatement::SqlStatement(StoreConnection &connection, const QString &sql, QString what) : m_what(std::move(what))
{
    if (connection.name().isEmpty()) {
        m_status = storeNotOpen();
        return;
    }
    m_query = connection.statement(sql, &m_status);
}

SqlStatement::~SqlStatement()
{
    if (m_query)
        m_query->finish();
}

SqlStatement &SqlStatement::bind(const QString &placeholder, const QVariant &value)
{
    if (!m_query)
        return *this;
    // A null QString would bind as SQL NULL; our text columns mean "" by it.
    // A real NULL is asked for with an invalid QVariant.
    if (value.typeId() == QMetaType::QString && value.toString().isNull())
        m_query->bindValue(placeholder, QStringLiteral(""));
    else
        m_query->bindValue(placeholder, value);
    return *this;
}

bool SqlStatement::exec()
{
    if (!m_query)
        return false;
    if (m_query->exec())
        return true;
    m_status = queryFailed(m_what, m_query->lastError());
    return false;
}

StoreStatus SqlStatement::run()
{
    exec();
    return m_status;
}

StoreStatus SqlStatement::runChanging(const QString &notFound)
{
    if (!exec())
        return m_status;
    if (rowsAffected() == 0)
        return {StoreStatus::Code::NotFound, notFound};
    return StoreStatus::ok();
}

StoreResult<qint64> SqlStatement::insertedId()
{
    if (!exec())
        return {m_status};
    return {StoreStatus::ok(), lastInsertId()};
}

StoreResult<bool> SqlStatement::hasRow()
{
    if (!exec())
        return {m_status};
    return {StoreStatus::ok(), next()};
}

} // namespace vesk::fleetd
