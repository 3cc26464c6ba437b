#include "fleetd/storage/FleetStore.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/storage/FleetSchema.h"
#include "fleetd/storage/MachineRows.h"
#include "fleetd/storage/SqlStatement.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace vesk::fleetd {

namespace {

// SQLite's result code for "file is not a database".
constexpr auto kSqliteNotADatabase = "26";

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("fleetd-store-%1").arg(counter.fetch_add(1));
}

} // namespace

FleetStore::FleetStore() = default;

FleetStore::~FleetStore()
{
    close();
}

QSqlDatabase FleetStore::database() const
{
    return m_connection.database();
}

StoreStatus FleetStore::open(const QString &path, OpenMode mode)
{
    close();
    if (mode == OpenMode::ExistingOnly && !QFileInfo(path).isFile())
        return {StoreStatus::Code::Missing, QStringLiteral("no database file at %1").arg(path)};

    m_connection.attach(nextConnectionName());
    StoreStatus status = prepare(path, mode);
    if (!status.isOk())
        close();
    return status;
}

StoreStatus FleetStore::prepare(const QString &path, OpenMode mode)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection.name());
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open())
            return queryFailed(QStringLiteral("cannot open %1").arg(path), db.lastError());
    }

    QSqlQuery query(database());
    // SQLite opens lazily; the first read is what tells a database from any other file.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        if (query.lastError().nativeErrorCode() == QLatin1String(kSqliteNotADatabase))
            return {StoreStatus::Code::NotADatabase, QStringLiteral("%1 is not a SQLite database").arg(path)};
        return queryFailed(QStringLiteral("cannot read %1").arg(path), query.lastError());
    }
    const int version = query.value(0).toInt();
    if (version > FleetSchema::currentVersion()) {
        return {StoreStatus::Code::NewerSchema,
                QStringLiteral("%1 has schema version %2; this vesk-fleetd knows up to %3")
                    .arg(path)
                    .arg(version)
                    .arg(FleetSchema::currentVersion())};
    }
    if (version == 0) {
        // Version 0 with tables in it is another program's database: leave it alone.
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next())
            return queryFailed(QStringLiteral("cannot read %1").arg(path), query.lastError());
        const bool hasTables = query.value(0).toInt() > 0;
        if (hasTables || mode == OpenMode::ExistingOnly)
            return {StoreStatus::Code::NotAFleetDatabase, QStringLiteral("%1 is not a fleet database").arg(path)};
    }

    // WAL lets readers (the machines command) run while serve writes.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return queryFailed(QStringLiteral("cannot enable WAL on %1").arg(path), query.lastError());
    if (query.next() && query.value(0).toString() != QLatin1String("wal"))
        qCWarning(lcFleetd) << "journal mode stays" << query.value(0).toString() << "for" << path;
    if (!query.exec(QStringLiteral("PRAGMA foreign_keys=ON")))
        return queryFailed(QStringLiteral("cannot enable foreign keys on %1").arg(path), query.lastError());
    query.finish();

    return migrate(version);
}

StoreStatus FleetStore::migrate(int fromVersion)
{
    QSqlDatabase db = database();
    const QList<QStringList> &steps = FleetSchema::migrations();
    for (int version = fromVersion; version < steps.size(); ++version) {
        if (!db.transaction())
            return queryFailed(QStringLiteral("cannot begin migration %1").arg(version + 1), db.lastError());
        QSqlQuery query(db);
        for (const QString &statement : steps.at(version)) {
            if (!query.exec(statement)) {
                const StoreStatus failed =
                    queryFailed(QStringLiteral("migration %1 failed").arg(version + 1), query.lastError());
                query.finish();
                db.rollback();
                return failed;
            }
        }
        // PRAGMA takes no bound parameters; the number is ours, not input.
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(version + 1))) {
            const StoreStatus failed =
                queryFailed(QStringLiteral("cannot record schema version %1").arg(version + 1), query.lastError());
            query.finish();
            db.rollback();
            return failed;
        }
        query.finish();
        if (!db.commit())
            return queryFailed(QStringLiteral("cannot commit migration %1").arg(version + 1), db.lastError());
        qCInfo(lcFleetd) << "store migrated to schema version" << version + 1;
    }
    return StoreStatus::ok();
}

void FleetStore::close()
{
    if (m_connection.name().isEmpty())
        return;
    const QString name = m_connection.name();
    m_connection.detach();
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

StoreStatus FleetStore::recordHeartbeat(const HeartbeatRecord &beat, const QDateTime &receivedAt)
{
    return m_ownership.admitHeartbeat(beat, receivedAt);
}

StoreResult<qint64> FleetStore::dataVersion()
{
    StoreResult<qint64> result;
    SqlStatement pragma(m_connection, QStringLiteral("PRAGMA data_version"), QStringLiteral("cannot read data_version"));
    if (!pragma.exec() || !pragma.next()) {
        result.status = pragma.status().isOk() ? queryFailed(QStringLiteral("no data_version"), {}) : pragma.status();
        return result;
    }
    result.value = pragma.value(0).toLongLong();
    return result;
}

StoreResult<QList<MachineRecord>> FleetStore::machines() const
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT %1 FROM machines m ORDER BY m.serial").arg(kMachineColumns),
                        QStringLiteral("cannot list machines"));
    return select.rows(readMachine);
}

} // namespace vesk::fleetd
