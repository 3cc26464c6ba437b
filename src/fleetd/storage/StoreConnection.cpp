#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QSqlError>

namespace vesk::fleetd {

QSqlQuery *StoreConnection::statement(const QString &sql, StoreStatus *status)
{
    const auto found = m_statements.constFind(sql);
    if (found != m_statements.constEnd())
        return found->get();
    auto query = std::make_shared<QSqlQuery>(database());
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        *status = queryFailed(QStringLiteral("cannot prepare statement"), query->lastError());
        return nullptr;
    }
    m_statements.insert(sql, query);
    return query.get();
}

StoreStatus queryFailed(const QString &what, const QSqlError &error)
{
    return {StoreStatus::Code::QueryFailed, what + QStringLiteral(": ") + error.text()};
}

StoreStatus storeNotOpen()
{
    return {StoreStatus::Code::QueryFailed, QStringLiteral("store is not open")};
}

QString isoTime(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace vesk::fleetd
