#include "FleetAPIFixture.h"

#include "fleetd/http/FleetRoutes.h"

#include <QJsonArray>

#include <functional>
#include <set>

using namespace vesk::fleetd;

namespace {

using IsolationTest = FleetAPIFixture;

QStringList serialsOf(const QJsonArray &rows)
{
    QStringList serials;
    for (const QJsonValue &row : rows)
        serials.append(row.toObject().value("serial").toString());
    return serials;
}

QByteArray methodName(QHttpServerRequest::Method method)
{
    using M = QHttpServerRequest::Method;
    switch (method) {
    case M::Get:
        return "GET";
    case M::Post:
        return "POST";
    case M::Put:
        return "PUT";
    case M::Delete:
        return "DELETE";
    case M::Head:
        return "HEAD";
    default:
        return "OTHER";
    }
}

const QByteArray kPolicy = R"({"id": "5E1F6A3C-1111-4222-8333-944455556666", "name": "Kiosk",
    "assigned_serials": ["A1"]})";

// Tenant A leaves traces of every kind on its machine A1, as A1 and as its console.
struct Traces {
    qint64 commandId = 0;
    qint64 noteId = 0;
    qint64 alertId = 0;
    qint64 payloadId = 0;
};

TEST_F(IsolationTest, EveryRouteRefusesAnotherTenantsMachineReadOrWrite)
{
    Traces a;
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(telemetry("A1"))).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_logs", R"({"serial": "A1", "bundle_id": "com.lumora.capture", "log_text": "a"})")
                  .status,
              200);
    a.noteId = call(m_a, "POST", "device_notes", R"({"serial": "A1", "author": "ann", "note": "lobby"})")
                   .json.value("id")
                   .toInteger();
    a.alertId = call(m_a, "POST", "device_alert",
                     R"({"serial": "A1", "severity": "warning", "category": "disk", "title": "t", "message": "m"})")
                    .json.value("alert_id")
                    .toInteger();
    a.commandId = call(m_a, "POST", "device_command", R"({"serial": "A1", "command": "report_apps"})")
                      .json.value("command_id")
                      .toInteger();
    ASSERT_EQ(call(m_a, "POST", "policy", kPolicy).status, 200);
    PayloadRecord payload;
    payload.name = "settings";
    payload.targetPath = "/Users/Shared/settings";
    payload.filename = "settings.zip";
    a.payloadId = m_store.payloads().add({m_a.tenantId, m_a.code}, payload, "PK\x05\x06", m_now).value.id;
    ASSERT_GT(a.noteId * a.alertId * a.commandId * a.payloadId, 0);

    const auto id = [](const char *path, qint64 value) { return QStringLiteral("%1%2").arg(path).arg(value); };
    // Every authenticated route. `aimsAtA1`: the body or query names A1 or one of A's rows,
    // so tenant B is refused even as its own machine B1.
    const struct {
        const char *method;
        QString path;
        QByteArray body;
        bool aimsAtA1;
    } routes[] = {
        {"POST", "device_commands", R"({"serial": "A1"})", true},
        {"POST", "device_command_result",
         QStringLiteral(R"({"command_id": %1, "success": true, "result": "Done"})").arg(a.commandId).toUtf8(), true},
        {"POST", "device_command", R"({"serial": "A1", "command": "restart"})", true},
        {"POST", "device_telemetry", body(telemetry("A1")), true},
        {"GET", "device_telemetry?serial=A1&hours=24", {}, true},
        {"POST", "device_installed_apps", R"({"serial": "A1", "apps": []})", true},
        {"GET", "device_installed_apps?serial=A1", {}, true},
        {"POST", "device_logs", R"({"serial": "A1", "bundle_id": "com.lumora.capture", "log_text": "x"})", true},
        {"GET", "device_logs?serial=A1", {}, true},
        {"POST", "device_alert",
         R"({"serial": "A1", "severity": "critical", "category": "disk", "title": "t", "message": "m"})", true},
        {"PUT", "device_alert", QStringLiteral(R"({"alert_id": %1, "acknowledged": true})").arg(a.alertId).toUtf8(),
         true},
        {"GET", "fleet_alerts?limit=10", {}, false},
        {"POST", "push_token",
         R"({"serial": "A1", "token": "ab", "is_agent": true, "platform": "macos", "alert_scope": "photographer"})",
         true},
        {"GET", "device_notes?serial=A1", {}, true},
        {"POST", "device_notes", R"({"serial": "A1", "author": "eve", "note": "mine now"})", true},
        {"DELETE", id("device_notes?id=", a.noteId), {}, true},
        {"GET", "policies", {}, false},
        {"GET", "device_policy?serial=A1", {}, true},
        {"POST", "policy", R"({"id": "0E1F6A3C-1111-4222-8333-944455556666", "name": "Takeover",
            "assigned_serials": ["A1"]})", true},
        {"DELETE", "policy?uuid=5E1F6A3C-1111-4222-8333-944455556666", {}, true},
        {"GET", "app_updates", {}, false},
        {"POST", "payload", "--x--\r\n", false},
        {"GET", id("payload?id=", a.payloadId), {}, true},
        {"GET", "payloads", {}, false},
        {"GET", id("payload_download?id=", a.payloadId), {}, true},
        {"HEAD", "speedtest", {}, false},
        {"GET", "speedtest?size=10", {}, false},
        {"POST", "speedtest", "xx", false},
        {"GET", "devices", {}, false},
        {"GET", "device_status?serial=A1", {}, true},
        {"POST", "push_session", R"({"serial": "A1"})", true},
    };

    // The table covers every route that takes a fleet key.
    std::set<std::string> served;
    for (const Route &route : fleetRoutes(FleetContext{m_store, [this] { return m_now; }})) {
        // Heartbeats and pairing carry no key; a release archive is named by its own digest.
        if (route.path != "/api/heartbeat" && route.path != "/api/fetch_fleet_secret" &&
            route.path != "/api/release_download")
            served.insert((methodName(route.method) + ' ' + route.path.mid(5).toUtf8()).toStdString());
    }
    std::set<std::string> tried;
    for (const auto &tc : routes)
        tried.insert((QByteArray(tc.method) + ' ' + tc.path.section('?', 0, 0).toUtf8()).toStdString());
    EXPECT_EQ(tried, served);

    int successes = 0;
    for (const auto &tc : routes) {
        const std::string name = tc.method + std::string(" ") + tc.path.toStdString();
        // B's key claiming to be A1 (or A1 spelled otherwise) is refused before any handler runs.
        for (const char *claimed : {"A1", "a1"}) {
            const HttpAnswer got = call(m_b, tc.method, tc.path, tc.body, "application/json", claimed);
            EXPECT_EQ(got.status, 403) << name << " as " << claimed << ": " << got.body.toStdString();
            successes += got.status < 300;
        }
        if (tc.aimsAtA1) {
            const HttpAnswer got = call(m_b, tc.method, tc.path, tc.body, "application/json", "B1");
            EXPECT_TRUE(got.status == 403 || got.status == 404) << name << ": " << got.status << got.body.toStdString();
            successes += got.status < 300;
        }
    }
    EXPECT_EQ(successes, 0);

    // Lists hold only the caller's own.
    EXPECT_EQ(serialsOf(call(m_a, "GET", "devices").json.value("devices").toArray()), (QStringList{"A1", "A2"}));
    EXPECT_EQ(serialsOf(call(m_b, "GET", "devices", {}, {}, "B1").json.value("devices").toArray()), QStringList{"B1"});
    EXPECT_EQ(call(m_a, "GET", "fleet_alerts?limit=10").json.value("alerts").toArray().size(), 1);
    EXPECT_TRUE(call(m_b, "GET", "fleet_alerts?limit=10", {}, {}, "B1").json.value("alerts").toArray().isEmpty());
    EXPECT_EQ(call(m_b, "GET", "fleet_alerts?photographer=ABCD1234", {}, {}, "B1").status, 403);

    // Nothing of A's changed: one note, one log, one telemetry row, the alert unacknowledged,
    // the policy and payload in place and the command still pending.
    EXPECT_EQ(call(m_a, "GET", "device_notes?serial=A1").json.value("notes").toArray().size(), 1);
    EXPECT_EQ(call(m_a, "GET", "device_logs?serial=A1").json.value("logs").toArray().size(), 1);
    EXPECT_EQ(call(m_a, "GET", "device_telemetry?serial=A1").json.value("telemetry").toArray().size(), 1);
    EXPECT_FALSE(m_store.alerts().list(m_a.tenantId, 10).value.at(0).acknowledged);
    EXPECT_EQ(call(m_a, "GET", "device_policy?serial=A1").json.value("policy").toObject().value("name"), "Kiosk");
    EXPECT_EQ(call(m_a, "GET", id("payload?id=", a.payloadId)).status, 200);
    const QJsonArray pending = call(m_a, "POST", "device_commands", R"({"serial": "A1"})").json.value("commands").toArray();
    ASSERT_EQ(pending.size(), 1);
    EXPECT_EQ(pending[0].toObject().value("command").toString(), "report_apps");
}

TEST_F(IsolationTest, AHeartbeatNeverTakesAMachineFromItsTenant)
{
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(telemetry("A1"))).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_logs", R"({"serial": "A1", "bundle_id": "com.lumora.capture", "log_text": "a"})")
                  .status,
              200);
    const auto heartbeat = [this](const char *serial, const char *eventCode, const char *version = "6.6.6") {
        return raw("POST", "heartbeat",
                   QStringLiteral(R"({"eventcode": "%1", "serial": "%2", "app": "warden", "version": "%3", "state": {}})")
                       .arg(eventCode, serial, version)
                       .toUtf8(),
                   {});
    };
    const struct {
        const char *name;
        const char *serial;
        const char *eventCode;
        int beatStatus;
        std::function<void()> before;
    } attacks[] = {
        {"the attacker's own event code", "A1", "EVT-B", 409, {}},
        {"the attacker's code in other case", "A1", "evt-b", 409, {}},
        {"an unbound event code", "A1", "EVT-NOBODY", 409, {}},
        {"no event code", "A1", "", 409, {}},
        // Another spelling is another machine: it registers, but reaches nothing of A1's.
        {"the serial in other case", "a1", "EVT-B", 200, {}},
        {"the owner's secret revoked", "A1", "EVT-B", 409,
         [this] { ASSERT_EQ(m_store.secrets().revoke(m_a.tenantId, m_now), StoreStatus::ok()); }},
    };
    for (const auto &attack : attacks) {
        if (attack.before)
            attack.before();
        // Repeating the beat changes nothing either.
        for (int round = 0; round < 2; ++round)
            EXPECT_EQ(heartbeat(attack.serial, attack.eventCode).status, attack.beatStatus) << attack.name;

        const StoreResult<TenantRecord> owner = m_store.ownership().owner("A1");
        EXPECT_EQ(owner.value.id, m_a.tenantId) << attack.name;
        EXPECT_EQ(m_store.machines().value.at(0).version, "1.0") << attack.name << ": a refused beat stores nothing";
        // Pairing never names the attacker's tenant for A1 (with A's secret revoked it names none).
        const HttpAnswer pairing = raw("POST", "fetch_fleet_secret", R"({"serial": "A1"})", {});
        EXPECT_EQ(pairing.json.value("photographer").toString(), pairing.status == 200 ? "ABCD1234" : "")
            << attack.name;
        for (const char *claimed : {"B1", "A1", "a1"}) {
            for (const char *path : {"device_telemetry?serial=A1", "device_logs?serial=A1", "device_status?serial=A1",
                                     "device_telemetry?serial=a1", "device_logs?serial=a1"}) {
                const HttpAnswer got = call(m_b, "GET", path, {}, {}, claimed);
                const bool leaked = got.body.contains("\"osVersion\"") || got.body.contains("\"os_version\"") ||
                                    got.body.contains("com.lumora.capture");
                EXPECT_FALSE(leaked) << attack.name << ' ' << path << " as " << claimed;
                if (QByteArray(path).contains("A1")) {
                    EXPECT_GE(got.status, 400) << attack.name << ' ' << path << " as " << claimed;
                }
            }
        }
        // The real agent is never locked out.
        EXPECT_EQ(heartbeat("A1", "EVT-A", "1.0").status, 200) << attack.name;
    }
    EXPECT_EQ(m_store.ownership().owner("a1").value.id, m_b.tenantId);
}

TEST_F(IsolationTest, AMovedMachineTakesNoHistoryToItsNewTenant)
{
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(telemetry("A1"))).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_logs", R"({"serial": "A1", "bundle_id": "com.lumora.capture", "log_text": "a"})")
                  .status,
              200);
    ASSERT_EQ(call(m_a, "POST", "device_installed_apps",
                   R"({"serial": "A1", "apps": [{"bundle_id": "com.lumora.capture", "is_running": true}]})")
                  .status,
              200);
    ASSERT_EQ(call(m_a, "POST", "device_notes", R"({"serial": "A1", "author": "ann", "note": "lobby"})").status, 200);
    ASSERT_EQ(call(m_a, "POST", "policy", kPolicy).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_command", R"({"serial": "A1", "command": "report_apps"})").status, 200);

    const StoreResult<MachineOwnership::Move> moved =
        m_store.ownership().move("A1", {m_b.tenantId, m_b.code}, m_now.addSecs(60));
    ASSERT_EQ(moved.status, StoreStatus::ok());
    EXPECT_EQ(moved.value.fromTenant, "ABCD1234");
    EXPECT_EQ(m_store.ownership().move("Z9", {m_b.tenantId, m_b.code}, m_now).status.code(),
              StoreStatus::Code::NotFound);

    // B now owns A1 and sees none of what A1 told A.
    EXPECT_EQ(serialsOf(call(m_b, "GET", "devices", {}, {}, "B1").json.value("devices").toArray()),
              (QStringList{"A1", "B1"}));
    const auto asB = [this](const char *path) { return call(m_b, "GET", path, {}, {}, "A1").json; };
    EXPECT_TRUE(asB("device_telemetry?serial=A1").value("telemetry").toArray().isEmpty());
    EXPECT_TRUE(asB("device_logs?serial=A1").value("logs").toArray().isEmpty());
    EXPECT_TRUE(asB("device_installed_apps?serial=A1").value("apps").toArray().isEmpty());
    EXPECT_TRUE(asB("device_notes?serial=A1").value("notes").toArray().isEmpty());
    EXPECT_TRUE(asB("device_status?serial=A1").value("apps").toArray().isEmpty());
    EXPECT_FALSE(asB("device_policy?serial=A1").contains("policy"));
    EXPECT_TRUE(call(m_b, "POST", "device_commands", R"({"serial": "A1"})", "application/json", "A1")
                    .json.value("commands")
                    .toArray()
                    .isEmpty());

    // A lost the machine: its key no longer speaks for A1, and its open command failed.
    EXPECT_EQ(call(m_a, "GET", "device_status?serial=A1", {}, {}, "A2").status, 404);
    EXPECT_EQ(call(m_a, "GET", "policies", {}, {}, "A1").status, 403);
    const CommandRecord closed = m_store.commands().list("A1").value.at(0);
    EXPECT_EQ(closed.state, "failed");
    EXPECT_TRUE(closed.result.contains("moved")) << closed.result.toStdString();
    EXPECT_TRUE(call(m_a, "GET", "policies", {}, {}, "A2").json.value("policies").toArray().at(0)
                    .toObject().value("assigned_serials").toArray().isEmpty());

    // From now on B's event code is the one A1's beats must carry.
    const auto heartbeat = [this](const char *eventCode) {
        return raw("POST", "heartbeat",
                   QStringLiteral(R"({"eventcode": "%1", "serial": "A1", "app": "warden", "version": "2", "state": {}})")
                       .arg(eventCode)
                       .toUtf8(),
                   {})
            .status;
    };
    EXPECT_EQ(heartbeat("EVT-A"), 409);
    EXPECT_EQ(heartbeat("EVT-B"), 200);
    ASSERT_EQ(call(m_b, "POST", "device_telemetry", body(telemetry("A1")), "application/json", "A1").status, 200);
    EXPECT_EQ(asB("device_telemetry?serial=A1").value("telemetry").toArray().size(), 1);
}

} // namespace
