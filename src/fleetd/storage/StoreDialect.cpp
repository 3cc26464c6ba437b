#include "fleetd/storage/StoreDialect.h"

#include "fleetd/storage/ChangeNotices.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/storage/StoreConnection.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

namespace vesk::fleetd {

namespace {

// SQLite's result code for "file is not a database".
constexpr auto kSqliteNotADatabase = "26";
// How long a SQLite writer waits on another connection's lock before failing.
constexpr int kBusyTimeoutMs = 5000;

StoreResult<QVariant> scalar(QSqlDatabase &db, const QString &sql, const QString &what)
{
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        return {queryFailed(what, query.lastError())};
    return {StoreStatus::ok(), query.value(0)};
}

class SqliteDialect final : public StoreDialect {
public:
    explicit SqliteDialect(QString path) : m_path(std::move(path)) {}

    QString displayName() const override { return m_path; }

    StoreStatus checkExists() const override
    {
        if (QFileInfo(m_path).isFile())
            return StoreStatus::ok();
        return {StoreStatus::Code::Missing, QStringLiteral("no database file at %1").arg(m_path)};
    }

    StoreStatus open(QSqlDatabase &db, const QString &connectionName) const override
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open())
            return queryFailed(QStringLiteral("cannot open %1").arg(m_path), db.lastError());
        return StoreStatus::ok();
    }

    StoreResult<int> schemaVersion(QSqlDatabase &db) const override
    {
        // SQLite opens lazily; the first read is what tells a database from any other file.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
            if (query.lastError().nativeErrorCode() == QLatin1String(kSqliteNotADatabase))
                return {{StoreStatus::Code::NotADatabase, QStringLiteral("%1 is not a SQLite database").arg(m_path)}};
            return {queryFailed(QStringLiteral("cannot read %1").arg(m_path), query.lastError())};
        }
        return {StoreStatus::ok(), query.value(0).toInt()};
    }

    StoreResult<bool> hasTables(QSqlDatabase &db) const override
    {
        const StoreResult<QVariant> count = scalar(db, QStringLiteral("SELECT count(*) FROM sqlite_master"),
                                                   QStringLiteral("cannot read %1").arg(m_path));
        return {count.status, count.value.toInt() > 0};
    }

    StoreStatus prepareSession(QSqlDatabase &db) const override
    {
        QSqlQuery query(db);
        // WAL lets readers (the machines command) run while serve writes.
        if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return queryFailed(QStringLiteral("cannot enable WAL on %1").arg(m_path), query.lastError());
        if (query.next() && query.value(0).toString() != QLatin1String("wal"))
            qCWarning(lcFleetd) << "journal mode stays" << query.value(0).toString() << "for" << m_path;
        if (!query.exec(QStringLiteral("PRAGMA foreign_keys=ON")))
            return queryFailed(QStringLiteral("cannot enable foreign keys on %1").arg(m_path), query.lastError());
        return StoreStatus::ok();
    }

    // BEGIN IMMEDIATE already holds the write lock.
    QString migrationLock() const override { return {}; }
    QStringList bootstrap() const override { return {}; }
    // PRAGMA takes no bound parameters; the number is ours, not input.
    QString setSchemaVersion(int version) const override
    {
        return QStringLiteral("PRAGMA user_version = %1").arg(version);
    }
    QString translate(const QString &schemaStatement) const override { return schemaStatement; }

    // Immediate, so that a read-then-write never fails half-way when the admin
    // command line writes meanwhile: the write lock is taken (waiting up to the busy
    // timeout) before the first read.
    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QString dataVersionQuery() const override { return QStringLiteral("PRAGMA data_version"); }

private:
    QString m_path;
};

class PostgresDialect final : public StoreDialect {
public:
    explicit PostgresDialect(QUrl url) : m_url(std::move(url)) {}

    QString displayName() const override { return m_url.toString(QUrl::RemovePassword); }

    // The database is created by its administrator; whether it is ours shows once open.
    StoreStatus checkExists() const override { return StoreStatus::ok(); }

    StoreStatus open(QSqlDatabase &db, const QString &connectionName) const override
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        if (!db.isValid())
            return {StoreStatus::Code::QueryFailed,
                    QStringLiteral("cannot open %1: the PostgreSQL driver (QPSQL) is not installed").arg(displayName())};
        db.setHostName(m_url.host());
        db.setPort(m_url.port(5432));
        db.setDatabaseName(m_url.path().mid(1));
        db.setUserName(m_url.userName(QUrl::FullyDecoded));
        db.setPassword(m_url.password(QUrl::FullyDecoded));
        // Anything in the query (sslmode=require, host=/run/postgresql, ...) goes to libpq as is.
        QStringList options{QStringLiteral("application_name=vesk-fleetd")};
        for (const auto &[key, value] : QUrlQuery(m_url).queryItems(QUrl::FullyDecoded))
            options.append(key + QLatin1Char('=') + value);
        db.setConnectOptions(options.join(QLatin1Char(';')));
        if (!db.open())
            return queryFailed(QStringLiteral("cannot open %1").arg(displayName()), db.lastError());
        return StoreStatus::ok();
    }

    StoreResult<int> schemaVersion(QSqlDatabase &db) const override
    {
        const QString what = QStringLiteral("cannot read %1").arg(displayName());
        const StoreResult<QVariant> present =
            scalar(db,
                   QStringLiteral("SELECT count(*) FROM information_schema.tables"
                                  " WHERE table_schema = current_schema() AND table_name = 'fleet_schema'"),
                   what);
        if (!present.status.isOk() || present.value.toInt() == 0)
            return {present.status, 0};
        const StoreResult<QVariant> version = scalar(db, QStringLiteral("SELECT version FROM fleet_schema"), what);
        return {version.status, version.value.toInt()};
    }

    StoreResult<bool> hasTables(QSqlDatabase &db) const override
    {
        const StoreResult<QVariant> count = scalar(
            db, QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema()"),
            QStringLiteral("cannot read %1").arg(displayName()));
        return {count.status, count.value.toInt() > 0};
    }

    StoreStatus prepareSession(QSqlDatabase &) const override { return StoreStatus::ok(); }

    QString migrationLock() const override { return QStringLiteral("SELECT pg_advisory_xact_lock(7410331)"); }

    QStringList bootstrap() const override
    {
        return {
            // Tenant and event codes compare without regard to case, as SQLite's NOCASE does.
            QStringLiteral("CREATE COLLATION IF NOT EXISTS nocase"
                           " (provider = icu, locale = 'und-u-ks-level2', deterministic = false)"),
            QStringLiteral("CREATE TABLE fleet_schema (version INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO fleet_schema (version) VALUES (0)"),
        };
    }

    QString setSchemaVersion(int version) const override
    {
        return QStringLiteral("UPDATE fleet_schema SET version = %1").arg(version);
    }

    QString translate(const QString &schemaStatement) const override
    {
        static const QRegularExpression rowId(QStringLiteral("\\bINTEGER PRIMARY KEY\\b"));
        static const QRegularExpression integer(QStringLiteral("\\bINTEGER\\b"));
        static const QRegularExpression blob(QStringLiteral("\\bBLOB\\b"));
        QString statement = schemaStatement;
        statement.replace(rowId, QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
        statement.replace(integer, QStringLiteral("BIGINT"));
        statement.replace(blob, QStringLiteral("BYTEA"));
        return statement;
    }

    // Read committed: every read-then-write the store does is guarded by a unique
    // key or made one statement, so two servers on one database never half-write.
    QString beginWrite() const override { return QStringLiteral("BEGIN"); }
    // The next transaction id to be handed out: it moves whenever anybody writes.
    QString dataVersionQuery() const override
    {
        return QStringLiteral("SELECT pg_snapshot_xmax(pg_current_snapshot())");
    }
    QString changeNotice() const override
    {
        return QStringLiteral("SELECT pg_notify('%1', '')").arg(QLatin1String(ChangeNotices::kChannel));
    }
    ChangeNotices *changeNotices() override { return &m_notices; }

private:
    QUrl m_url;
    ChangeNotices m_notices;
};

} // namespace

std::unique_ptr<StoreDialect> StoreDialect::forLocation(const QString &location)
{
    if (location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://")))
        return std::make_unique<PostgresDialect>(QUrl(location));
    return std::make_unique<SqliteDialect>(location);
}

} // namespace vesk::fleetd
