#include "local/PrivacyDatabase.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace vesk::PrivacyDatabase {

namespace {

std::optional<bool> readSwitch(const QString &path, const QString &clientId)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    // A connection of its own, so concurrent checks never share one.
    const QString connection = QStringLiteral("privacy-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::optional<bool> answer;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.prepare(QString::fromLatin1(appManagementQuery))) {
                query.addBindValue(clientId);
                if (query.exec() && query.next())
                    answer = query.value(0).toLongLong() >= 2;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return answer;
}

} // namespace

std::optional<bool> appManagementSwitch(const QStringList &databases, const QString &clientId)
{
    for (const QString &path : databases) {
        if (const std::optional<bool> on = readSwitch(path, clientId))
            return on;
    }
    return std::nullopt;
}

} // namespace vesk::PrivacyDatabase
