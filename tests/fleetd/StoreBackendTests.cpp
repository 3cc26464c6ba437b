#include "TestDatabases.h"

#include "fleetd/storage/FleetSchema.h"
#include "fleetd/storage/FleetStore.h"
#include "fleetd/storage/HistoryPruner.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTest>

using namespace vesk::fleetd;

namespace {

// The same store suite on every database the server can use.
class StoreBackendTest : public ::testing::TestWithParam<TestBackend> {
protected:
    void SetUp() override
    {
        QString why;
        m_location = newStoreLocation(GetParam(), m_dir, &why);
        if (m_location.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ASSERT_EQ(m_store.open(m_location, FleetStore::OpenMode::CreateIfMissing), StoreStatus::ok());
        if (GetParam() == TestBackend::Postgres)
            std::cout << "[ running on " << testPostgresVersion().toStdString() << " ]" << std::endl;
    }

    QDateTime at(int day, int minute = 0) const { return m_t0.addDays(day).addSecs(60 * minute); }

    QTemporaryDir m_dir;
    QString m_location;
    FleetStore m_store;
    const QDateTime m_t0 = QDateTime(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC);
};

TEST_P(StoreBackendTest, DirectoryTenantsSecretsPoliciesAndPayloadsRoundTrip)
{
    const qint64 tenant = m_store.tenants().add("ABCD1234", at(0)).value.id;
    // Codes compare without regard to case, in the unique key and in lookups.
    EXPECT_EQ(m_store.tenants().add("abcd1234", at(0)).status.code(), StoreStatus::Code::Conflict);
    EXPECT_EQ(m_store.tenants().byCode("Abcd1234").value.id, tenant);
    ASSERT_EQ(m_store.tenants().bindEventCode(tenant, "EVT-A", at(0)), StoreStatus::ok());
    EXPECT_EQ(m_store.tenants().bindEventCode(tenant, "evt-a", at(0)), StoreStatus::ok());

    ASSERT_EQ(m_store.recordHeartbeat({"evt-a", "S1", "warden", "1.0", QJsonObject{{"k", 1}}}, at(0)), StoreStatus::ok());
    ASSERT_EQ(m_store.recordHeartbeat({"EVT-A", "S1", "warden", "1.1", {}}, at(1)), StoreStatus::ok());
    const QList<MachineRecord> machines = m_store.tenants().machines(tenant).value;
    ASSERT_EQ(machines.size(), 1);
    EXPECT_EQ(machines[0].firstSeen, "2025-01-01T08:00:00.000Z");
    EXPECT_EQ(machines[0].version, "1.1");
    EXPECT_EQ(m_store.ownership().owner("S1").value.code, "ABCD1234");
    EXPECT_EQ(m_store.tenants().machineApps(tenant, "S1").value.size(), 1);

    const StoreResult<SecretStore::Issued> first = m_store.secrets().issue(tenant, at(0));
    ASSERT_EQ(first.status, StoreStatus::ok());
    EXPECT_EQ(m_store.secrets().issue(tenant, at(0)).status.code(), StoreStatus::Code::Conflict);
    const StoreResult<SecretStore::Issued> second = m_store.secrets().rotate(tenant, at(1));
    ASSERT_EQ(second.status, StoreStatus::ok());
    EXPECT_GT(second.value.id, first.value.id);
    EXPECT_EQ(m_store.secrets().byId(first.value.id).value.state, "rotated");
    EXPECT_EQ(m_store.secrets().active(tenant).value.codeSha256, SecretStore::hashCode(second.value.code));

    PolicyRecord policy{"11111111-2222-3333-4444-555555555555", "Kiosk", QJsonObject{{"apps", QJsonArray{"a"}}},
                        {"S1", "S2"}};
    ASSERT_EQ(m_store.policies().save(tenant, policy, at(1)), StoreStatus::ok());
    ASSERT_EQ(m_store.policies().save(tenant, policy, at(2)), StoreStatus::ok());
    EXPECT_EQ(m_store.policies().forSerial(tenant, "S2").value->assignedSerials, (QStringList{"S1", "S2"}));
    ASSERT_EQ(m_store.policies().remove(tenant, policy.uuid), StoreStatus::ok());
    EXPECT_FALSE(m_store.policies().forSerial(tenant, "S1").value.has_value());

    ReleaseRecord release{"com.vesk.booth", "Booth", "2.0", "7", "https://x/b.zip", "ab", "notes", {}, true};
    ASSERT_EQ(m_store.releases().publish(release, at(1)), StoreStatus::ok());
    ASSERT_EQ(m_store.releases().publish(release, at(2)), StoreStatus::ok());
    ASSERT_EQ(m_store.releases().list().value.size(), 1);
    EXPECT_TRUE(m_store.releases().list().value[0].critical);

    // Every byte value survives, NUL and high bytes included.
    QByteArray archive;
    for (int i = 0; i < 512; ++i)
        archive.append(static_cast<char>(i % 256));
    PayloadRecord payload;
    payload.name = "Presets";
    payload.relaunchBundleIds = {"com.vesk.booth"};
    const StoreResult<PayloadRecord> added = m_store.payloads().add({tenant, "ABCD1234"}, payload, archive, at(1));
    ASSERT_EQ(added.status, StoreStatus::ok());
    EXPECT_EQ(m_store.payloads().archive(tenant, added.value.id).value, archive);
    EXPECT_EQ(m_store.payloads().get(tenant, added.value.id).value.relaunchBundleIds, payload.relaunchBundleIds);

    const StoreResult<NoteRecord> note = m_store.notes().add(tenant, "S1", "ops", "Lens swapped", at(1));
    ASSERT_EQ(m_store.notes().list(tenant, "S1").value.size(), 1);
    EXPECT_EQ(m_store.notes().remove(tenant + 1, note.value.id).code(), StoreStatus::Code::NotFound);

    // Another connection's commit is seen (on PostgreSQL once its change notice has come in, a
    // moment after the commit), and a second opening finds the schema current.
    const qint64 before = m_store.dataVersion().value;
    {
        FleetStore other;
        ASSERT_EQ(other.open(m_location, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
        ASSERT_EQ(other.secrets().revoke(tenant, at(3)), StoreStatus::ok());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_store.dataVersion().value != before; }, 5000));
    EXPECT_EQ(m_store.secrets().active(tenant).status.code(), StoreStatus::Code::NotFound);
}

TEST_P(StoreBackendTest, CommandsReportsAndAlertsRoundTrip)
{
    const qint64 tenant = m_store.tenants().add("ABCD1234", at(0)).value.id;
    const qint64 other = m_store.tenants().add("WXYZ9876", at(0)).value.id;

    const qint64 first = m_store.commands().queue(tenant, "S1", "restart", QJsonObject{{"delay", 2}}, "ops", at(0)).value;
    const qint64 second = m_store.commands().queue(tenant, "S1", "show_message", {}, "ops", at(0)).value;
    EXPECT_TRUE(m_store.commands().takePending(other, "S1", at(1)).value.isEmpty());
    const QList<CommandRecord> taken = m_store.commands().takePending(tenant, "S1", at(1)).value;
    ASSERT_EQ(taken.size(), 2);
    EXPECT_EQ(taken[0].id, first);
    EXPECT_EQ(taken[0].params, (QJsonObject{{"delay", 2}}));
    EXPECT_TRUE(m_store.commands().takePending(tenant, "S1", at(1)).value.isEmpty());
    EXPECT_EQ(m_store.commands().recordResult(tenant, "S1", first, true, "ok", at(2)), StoreStatus::ok());
    EXPECT_EQ(m_store.commands().recordResult(tenant, "S1", first, true, "again", at(2)).code(), StoreStatus::Code::Conflict);
    EXPECT_EQ(m_store.commands().recordResult(other, "S1", second, true, "x", at(2)).code(), StoreStatus::Code::NotFound);
    EXPECT_EQ(m_store.commands().recordLocalResult(tenant, "S1", false, "local", at(2)).status, StoreStatus::ok());
    const QList<CommandRecord> listed = m_store.commands().list("S1").value;
    ASSERT_EQ(listed.size(), 3);
    EXPECT_EQ(listed[0].state, "succeeded");
    EXPECT_EQ(listed[0].success, std::optional<bool>(true));
    EXPECT_EQ(listed[1].success, std::nullopt);

    for (int minute = 0; minute < 5; ++minute)
        ASSERT_EQ(m_store.reports().addTelemetry(tenant, "S1", QJsonObject{{"n", minute}}, at(0, minute)), StoreStatus::ok());
    const QList<TelemetryRecord> recent = m_store.reports().telemetrySince(tenant, "S1", at(0, 1), 3).value;
    ASSERT_EQ(recent.size(), 3);
    EXPECT_EQ(recent[0].body.value("n").toInt(), 2); // the newest three, oldest first
    EXPECT_EQ(m_store.reports().latestTelemetry(tenant, "S1").value.body.value("n").toInt(), 4);
    ASSERT_EQ(m_store.reports().putInstalledApps(tenant, "S1", QJsonArray{"a"}, at(0)), StoreStatus::ok());
    ASSERT_EQ(m_store.reports().putInstalledApps(tenant, "S1", QJsonArray{"a", "b"}, at(1)), StoreStatus::ok());
    EXPECT_EQ(m_store.reports().installedApps(tenant, "S1").value.apps.size(), 2);
    m_store.reports().addLog(tenant, "S1", "com.a", "one", at(0));
    m_store.reports().addLog(tenant, "S1", "com.b", "two", at(0));
    EXPECT_EQ(m_store.reports().logs(tenant, "S1", "", 10).value.size(), 2);
    EXPECT_EQ(m_store.reports().logs(tenant, "S1", "com.b", 10).value.value(0).logText, "two");

    AlertRecord alert{0, "S1", "critical", "disk", "Disk full", "2 GB left", "2025-01-01T08:00:00Z", {}, false, {}, {}};
    const qint64 alertId = m_store.alerts().add(tenant, alert, at(0)).value;
    EXPECT_EQ(m_store.alerts().acknowledge(other, alertId, true, "x", at(0)).code(), StoreStatus::Code::NotFound);
    ASSERT_EQ(m_store.alerts().acknowledge(tenant, alertId, true, "ops", at(1)), StoreStatus::ok());
    EXPECT_EQ(m_store.alerts().list(tenant, 10).value.value(0).acknowledgedBy, "ops");
    ASSERT_EQ(m_store.alerts().registerPushToken(tenant, "S1", "tok", {}, at(0)), StoreStatus::ok());
    EXPECT_EQ(m_store.alerts().registerPushToken(other, "S1", "tok", {}, at(1)), StoreStatus::ok());
    // Who hears of S1's alerts: Agent Mode machines of its tenant, here scoped to its location.
    ASSERT_EQ(m_store.recordHeartbeat({"EVT-A", "S1", "warden", "1.0", {}}, at(0)), StoreStatus::ok());
    const QJsonObject agent{{"is_agent", true}, {"alert_scope", "location"}, {"eventcode", "evt-a"}};
    ASSERT_EQ(m_store.alerts().registerPushToken(tenant, "S2", "t2", agent, at(0)), StoreStatus::ok());
    ASSERT_EQ(m_store.alerts().registerPushToken(tenant, "S3", "t3", {{"is_agent", false}}, at(0)), StoreStatus::ok());
    const StoreResult<QStringList> receivers = m_store.alerts().agentModeReceivers(tenant, "S1");
    ASSERT_EQ(receivers.status, StoreStatus::ok());
    EXPECT_EQ(receivers.value, QStringList{"S2"});
    EXPECT_TRUE(m_store.alerts().agentModeReceivers(other, "S1").value.isEmpty());
}

TEST_P(StoreBackendTest, HistoryPastRetentionIsPrunedInSmallBatchesFromTheTimer)
{
    const qint64 tenant = m_store.tenants().add("ABCD1234", at(0)).value.id;
    // Seven old rows and one recent row in each history table.
    for (int day : {0, 0, 0, 0, 0, 0, 0, 95}) {
        m_store.reports().addTelemetry(tenant, "S1", QJsonObject{{"day", day}}, at(day));
        m_store.reports().addLog(tenant, "S1", "com.a", QString::number(day), at(day));
        m_store.alerts().add(tenant, {0, "S1", "info", "c", "t", QString::number(day), "", {}, false, {}, {}}, at(day));
    }
    QDateTime now = at(95);
    HistoryPruner pruner(m_store.retention(), [&now] { return now; },
                         {.retentionDays = 90, .batchRows = 3, .idleInterval = std::chrono::hours(1)});

    // One call deletes at most a batch from each table, and says more is due.
    const RetentionStore::Pruned once = pruner.pruneOnce();
    EXPECT_EQ(once.rows, 9);
    EXPECT_TRUE(once.more);

    // From the timer, the rest goes batch after batch without waiting for the interval.
    pruner.start();
    for (int turn = 0; turn < 10; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(m_store.reports().telemetrySince(tenant, "S1", at(-1), 100).value.size(), 1);
    EXPECT_EQ(m_store.reports().logs(tenant, "S1", "", 100).value.size(), 1);
    ASSERT_EQ(m_store.alerts().list(tenant, 100).value.size(), 1);
    EXPECT_EQ(m_store.alerts().list(tenant, 100).value[0].message, "95");

    // Nothing is deleted before its time.
    now = at(95 + 89);
    EXPECT_EQ(pruner.pruneOnce().rows, 0);
    now = at(95 + 91);
    EXPECT_EQ(pruner.pruneOnce().rows, 3);
}

INSTANTIATE_TEST_SUITE_P(Databases, StoreBackendTest, ::testing::Values(TestBackend::Sqlite, TestBackend::Postgres),
                         testBackendName);

} // namespace
