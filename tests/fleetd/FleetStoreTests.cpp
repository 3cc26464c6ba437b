#include "fleetd/storage/FleetSchema.h"
#include "fleetd/storage/FleetStore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>

using namespace vesk::fleetd;

namespace {

// Runs statements on a connection of its own, as another program would.
QVariant rawSql(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("fleetd-test-raw");
    QVariant last;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
            if (query.next())
                last = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return last;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HeartbeatRecord beat(const QString &serial)
{
    return {"EVT", serial, "warden", "1.0", QJsonObject{{"status", "active"}}};
}

TEST(FleetStoreTest, ReopenedStoreKeepsMachinesInWalModeAtCurrentSchema)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fleet.sqlite");
    const QDateTime at(QDate(2025, 1, 2), QTime(3, 4, 5, 678), Qt::UTC);
    {
        FleetStore store;
        ASSERT_EQ(store.open(path, FleetStore::OpenMode::CreateIfMissing), StoreStatus::ok());
        ASSERT_EQ(store.recordHeartbeat(beat("S1"), at.toOffsetFromUtc(3600)), StoreStatus::ok());
    }
    EXPECT_EQ(rawSql(path, {"PRAGMA journal_mode"}).toString(), "wal");
    EXPECT_EQ(rawSql(path, {"PRAGMA user_version"}).toInt(), FleetSchema::currentVersion());

    FleetStore store;
    ASSERT_EQ(store.open(path, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const StoreResult<QList<MachineRecord>> listed = store.machines();
    ASSERT_EQ(listed.status, StoreStatus::ok());
    ASSERT_EQ(listed.value.size(), 1);
    // Stored in UTC whatever offset the clock handed over.
    EXPECT_EQ(listed.value[0].lastSeen, "2025-01-02T03:04:05.678Z");
}

TEST(FleetStoreTest, UpgradeGivesExistingMachinesAndHistoryTheTenantOfTheirEventCode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fleet.sqlite");
    // A store written before machines carried their tenant: schema 2 with one tenant's machine
    // and its history, and a machine whose event code was never bound.
    QStringList before = FleetSchema::migrations().at(0) + FleetSchema::migrations().at(1);
    before << "PRAGMA user_version = 2"
           << "INSERT INTO tenants (id, code, created_at) VALUES (7, 'ABCD1234', 't')"
           << "INSERT INTO event_codes (code, tenant_id, created_at) VALUES ('EVT-A', 7, 't')"
           << "INSERT INTO machines VALUES ('A1', 't', 't', 'warden', '1', 'evt-a', '{}')"
           << "INSERT INTO machines VALUES ('U1', 't', 't', 'warden', '1', 'EVT-NONE', '{}')"
           << "INSERT INTO machine_apps VALUES ('A1', 'warden', '1', 'evt-a', 't', 't')"
           << "INSERT INTO telemetry (serial, received_at, body_json) VALUES ('A1', '2025-01-01T00:00:00.000Z', '{}')"
           << "INSERT INTO installed_apps VALUES ('A1', 't', '[]')"
           << "INSERT INTO app_logs (serial, bundle_id, log_text, created_at) VALUES ('A1', 'b', 'log', 't')";
    rawSql(path, before);

    FleetStore store;
    ASSERT_EQ(store.open(path, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    EXPECT_EQ(store.ownership().owner("A1").value.id, 7);
    EXPECT_EQ(store.ownership().owner("U1").status.code(), StoreStatus::Code::NotFound);
    const QDateTime since = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(store.reports().telemetrySince(7, "A1", since, 10).value.size(), 1);
    EXPECT_EQ(store.reports().installedApps(7, "A1").status, StoreStatus::ok());
    EXPECT_EQ(store.reports().logs(7, "A1", {}, 10).value.size(), 1);
    EXPECT_EQ(store.tenants().machineApps(7, "A1").value.size(), 1);
    EXPECT_EQ(store.tenants().machines(7).value.size(), 1);
}

TEST(FleetStoreTest, RefusesFilesThatAreNotItsDatabaseAndLeavesThemAlone)
{
    using Code = StoreStatus::Code;
    using Mode = FleetStore::OpenMode;
    const struct {
        const char *name;
        std::function<void(const QString &path)> make;
        Mode mode;
        Code want;
    } cases[] = {
        {"missing file", [](const QString &) {}, Mode::ExistingOnly, Code::Missing},
        {"text file",
         [](const QString &path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(QByteArray("serial,app\n").repeated(100));
         },
         Mode::CreateIfMissing, Code::NotADatabase},
        {"empty file for a reader",
         [](const QString &path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         },
         Mode::ExistingOnly, Code::NotAFleetDatabase},
        {"another program's database",
         [](const QString &path) { rawSql(path, {"CREATE TABLE photos (id INTEGER)"}); }, Mode::CreateIfMissing,
         Code::NotAFleetDatabase},
        {"newer schema",
         [](const QString &path) {
             rawSql(path, {"CREATE TABLE machines (serial TEXT)", "PRAGMA user_version = 999"});
         },
         Mode::CreateIfMissing, Code::NewerSchema},
    };
    for (const auto &tc : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("fleet.sqlite");
        tc.make(path);
        const QByteArray before = contents(path);

        FleetStore store;
        const StoreStatus got = store.open(path, tc.mode);
        EXPECT_EQ(got.code(), tc.want) << tc.name << ": " << got;
        EXPECT_TRUE(got.message().contains(path)) << tc.name << ": " << got;
        EXPECT_FALSE(store.isOpen()) << tc.name;
        EXPECT_EQ(store.recordHeartbeat(beat("S"), QDateTime::currentDateTimeUtc()).code(), Code::QueryFailed)
            << tc.name;

        // Refused files are never touched, let alone created.
        EXPECT_EQ(contents(path), before) << tc.name;
        EXPECT_EQ(QFile::exists(path), tc.want != Code::Missing) << tc.name;
    }
}

} // namespace
