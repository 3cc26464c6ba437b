#include "fleetd/storage/StoreTransaction.h"

#include "fleetd/storage/StoreDialect.h"

#include <QSqlError>
#include <QSqlQuery>

namespace vesk::fleetd {

namespace {

bool run(StoreConnection &connection, const QString &sql, StoreStatus *status)
{
    QSqlQuery query(connection.database());
    if (query.exec(sql))
        return true;
    *status = queryFailed(sql, query.lastError());
    return false;
}

} // namespace

StoreTransaction::StoreTransaction(StoreConnection &connection) : m_connection(connection)
{
    if (connection.name().isEmpty()) {
        m_status = storeNotOpen();
        return;
    }
    m_open = run(m_connection, connection.dialect()->beginWrite(), &m_status);
}

StoreTransaction::~StoreTransaction()
{
    if (m_open) {
        StoreStatus ignored;
        run(m_connection, QStringLiteral("ROLLBACK"), &ignored);
    }
}

StoreStatus StoreTransaction::commit()
{
    if (!m_open)
        return m_status;
    if (!run(m_connection, QStringLiteral("COMMIT"), &m_status))
        return m_status;
    m_open = false;
    return StoreStatus::ok();
}

} // namespace vesk::fleetd
