#include "fleetd/storage/FleetStore.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/storage/ChangeNotices.h"
#include "fleetd/storage/FleetSchema.h"
#include "fleetd/storage/MachineRows.h"
#include "fleetd/storage/SqlStatement.h"
#include "fleetd/storage/StoreDialect.h"
#include "fleetd/storage/StoreTransaction.h"

#include <QJsonDocument>

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace vesk::fleetd {

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("fleetd-store-%1").arg(counter.fetch_add(1));
}

// The dialect's data version query, run now.
StoreResult<qint64> probeDataVersion(StoreConnection &connection, const StoreDialect &dialect)
{
    StoreResult<qint64> result;
    SqlStatement pragma(connection, dialect.dataVersionQuery(), QStringLiteral("cannot read data_version"));
    if (!pragma.exec() || !pragma.next()) {
        result.status = pragma.status().isOk() ? queryFailed(QStringLiteral("no data_version"), {}) : pragma.status();
        return result;
    }
    result.value = pragma.value(0).toLongLong();
    return result;
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

StoreStatus FleetStore::open(const QString &location, OpenMode mode)
{
    close();
    m_dialect = StoreDialect::forLocation(location);
    if (mode == OpenMode::ExistingOnly) {
        const StoreStatus exists = m_dialect->checkExists();
        if (!exists.isOk())
            return exists;
    }

    m_connection.attach(nextConnectionName(), m_dialect.get());
    StoreStatus status = prepare(mode);
    if (!status.isOk())
        close();
    return status;
}

StoreStatus FleetStore::prepare(OpenMode mode)
{
    const QString name = m_dialect->displayName();
    QSqlDatabase db;
    const StoreStatus opened = m_dialect->open(db, m_connection.name());
    if (!opened.isOk())
        return opened;

    const StoreResult<int> version = m_dialect->schemaVersion(db);
    if (!version.status.isOk())
        return version.status;
    if (version.value > FleetSchema::currentVersion()) {
        return {StoreStatus::Code::NewerSchema,
                QStringLiteral("%1 has schema version %2; this vesk-fleetd knows up to %3")
                    .arg(name)
                    .arg(version.value)
                    .arg(FleetSchema::currentVersion())};
    }
    if (version.value == 0) {
        // Version 0 with tables in it is another program's database: leave it alone.
        const StoreResult<bool> hasTables = m_dialect->hasTables(db);
        if (!hasTables.status.isOk())
            return hasTables.status;
        if (hasTables.value || mode == OpenMode::ExistingOnly)
            return {StoreStatus::Code::NotAFleetDatabase, QStringLiteral("%1 is not a fleet database").arg(name)};
    }

    const StoreStatus session = m_dialect->prepareSession(db);
    if (!session.isOk())
        return session;
    if (ChangeNotices *notices = m_dialect->changeNotices(); notices && !notices->listen(db))
        qCWarning(lcFleetd) << "cannot listen for other servers' change notices; every request asks the database";
    if (version.value == FleetSchema::currentVersion())
        return StoreStatus::ok();
    return migrate();
}

StoreStatus FleetStore::migrate()
{
    QSqlDatabase db = database();
    const QList<QStringList> &steps = FleetSchema::migrations();
    // One transaction a step. Another server may be migrating the same database at
    // the same moment: the version is read again once the migration lock is held.
    for (;;) {
        QSqlQuery query(db);
        const auto fail = [&](const QString &what) {
            const StoreStatus failed = queryFailed(what, query.lastError());
            query.finish();
            query.exec(QStringLiteral("ROLLBACK"));
            return failed;
        };
        if (!query.exec(m_dialect->beginWrite()))
            return queryFailed(QStringLiteral("cannot begin a migration"), query.lastError());
        const QString lock = m_dialect->migrationLock();
        if (!lock.isEmpty() && !query.exec(lock))
            return fail(QStringLiteral("cannot lock the schema"));
        const StoreResult<int> current = m_dialect->schemaVersion(db);
        const int version = current.value;
        if (!current.status.isOk() || version >= steps.size()) {
            query.exec(QStringLiteral("ROLLBACK"));
            return current.status;
        }
        QStringList statements = version == 0 ? m_dialect->bootstrap() : QStringList();
        for (const QString &statement : steps.at(version))
            statements.append(m_dialect->translate(statement));
        statements.append(m_dialect->setSchemaVersion(version + 1));
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                return fail(QStringLiteral("migration %1 failed").arg(version + 1));
        }
        query.finish();
        if (!query.exec(QStringLiteral("COMMIT")))
            return fail(QStringLiteral("cannot commit migration %1").arg(version + 1));
        qCInfo(lcFleetd) << "store migrated to schema version" << version + 1;
    }
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
    m_dialect.reset();
}

StoreStatus FleetStore::recordHeartbeat(const HeartbeatRecord &beat, const QDateTime &receivedAt)
{
    return m_ownership.admitHeartbeat(beat, receivedAt);
}

StoreResult<qint64> FleetStore::dataVersion()
{
    if (!m_dialect)
        return {storeNotOpen()};
    if (ChangeNotices *notices = m_dialect->changeNotices(); notices && notices->listening())
        return notices->version([this] { return probeDataVersion(m_connection, *m_dialect); });
    return probeDataVersion(m_connection, *m_dialect);
}

StoreResult<QList<MachineRecord>> FleetStore::machines() const
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT %1 FROM machines m ORDER BY m.serial").arg(kMachineColumns),
                        QStringLiteral("cannot list machines"));
    return select.rows(readMachine);
}

} // namespace vesk::fleetd
