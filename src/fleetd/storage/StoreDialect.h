#pragma once

#include "fleetd/storage/StoreStatus.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

namespace vesk::fleetd {

class ChangeNotices;

// Everything that differs between the two databases the store runs on, SQLite (a
// file path) and PostgreSQL (a postgresql:// URL). The schema and the queries are
// written once, in the SQL both understand; the schema's few SQLite type names are
// translated here, and so are the statements that have no common spelling.
class StoreDialect {
public:
    virtual ~StoreDialect() = default;

    // The dialect for a --db value: postgresql:// or postgres:// URLs, else a SQLite path.
    static std::unique_ptr<StoreDialect> forLocation(const QString &location);

    // The location as it may be shown in messages and logs (never a password).
    virtual QString displayName() const = 0;
    // Missing when a reader asks for a store that cannot exist yet (no such file).
    virtual StoreStatus checkExists() const = 0;
    virtual StoreStatus open(QSqlDatabase &db, const QString &connectionName) const = 0;

    // The schema version, 0 for an empty database; NotAFleetDatabase and the like
    // when the database holds somebody else's data.
    virtual StoreResult<int> schemaVersion(QSqlDatabase &db) const = 0;
    // Whether the database holds any table at all.
    virtual StoreResult<bool> hasTables(QSqlDatabase &db) const = 0;
    // Connection settings, once after opening.
    virtual StoreStatus prepareSession(QSqlDatabase &db) const = 0;
    // Run inside each migration transaction before the version is read again, so
    // that servers starting at once migrate one after the other; may be empty.
    virtual QString migrationLock() const = 0;
    // What an empty database needs before the first migration (where the version lives).
    virtual QStringList bootstrap() const = 0;
    virtual QString setSchemaVersion(int version) const = 0;
    // A schema statement written in SQLite's types, in this database's terms.
    virtual QString translate(const QString &schemaStatement) const = 0;

    // Starts a transaction that may read and then write without failing half-way.
    virtual QString beginWrite() const = 0;
    // A number that changes when another connection commits; caches compare it.
    virtual QString dataVersionQuery() const = 0;
    // The statement that sends a change notice to the other servers (see ChangeNotices), and
    // where they are counted; empty and null where dataVersionQuery() is cheap per request.
    virtual QString changeNotice() const { return {}; }
    virtual ChangeNotices *changeNotices() { return nullptr; }
};

} // namespace vesk::fleetd
