#include "FleetAPIFixture.h"

#include <QJsonArray>

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

TEST_F(IsolationTest, ATenantNeverReachesAnotherTenantsMachinesOrData)
{
    // Tenant A leaves traces of every kind on its machine A1.
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(telemetry("A1"))).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_notes", R"({"serial": "A1", "author": "ann", "note": "lobby"})").status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_alert",
                   R"({"serial": "A1", "severity": "warning", "category": "disk", "title": "t", "message": "m"})")
                  .status,
              200);
    const HttpAnswer queued = call(m_a, "POST", "device_command", R"({"serial": "A1", "command": "report_apps"})");
    ASSERT_EQ(queued.status, 200);
    const qint64 commandId = queued.json.value("command_id").toInteger();
    const qint64 noteId = m_store.notes().list(m_a.tenantId, "A1").value.at(0).id;

    // Tenant B's key on A's machine gets 404, exactly as for a machine that does not exist.
    const struct {
        const char *method;
        QString path;
        QByteArray body;
    } foreign[] = {
        {"POST", "device_commands", R"({"serial": "A1"})"},
        {"POST", "device_command", R"({"serial": "A1", "command": "restart"})"},
        {"POST", "device_telemetry", body(telemetry("A1"))},
        {"GET", "device_telemetry?serial=A1&hours=24", {}},
        {"GET", "device_installed_apps?serial=A1", {}},
        {"GET", "device_logs?serial=A1", {}},
        {"GET", "device_notes?serial=A1", {}},
        {"DELETE", QStringLiteral("device_notes?id=%1").arg(noteId), {}},
        {"GET", "device_status?serial=A1", {}},
        {"GET", "device_policy?serial=A1", {}},
        {"POST", "push_token",
         R"({"serial": "A1", "token": "ab", "is_agent": true, "platform": "macos", "alert_scope": "photographer"})"},
        {"PUT", "device_alert", R"({"alert_id": 1, "acknowledged": true})"},
        {"GET", "payload?id=1", {}},
        {"POST", "device_command_result",
         QStringLiteral(R"({"command_id": %1, "success": true, "result": "Done"})").arg(commandId).toUtf8()},
        {"POST", "device_logs", R"({"serial": "A1", "bundle_id": "com.lumora.capture", "log_text": "x"})"},
        {"POST", "device_installed_apps", R"({"serial": "A1", "apps": []})"},
        {"POST", "policy", R"({"id": "5E1F6A3C-1111-4222-8333-944455556666", "name": "Takeover",
            "assigned_serials": ["A1"]})"},
    };
    for (const auto &tc : foreign) {
        const HttpAnswer got = call(m_b, tc.method, tc.path, tc.body, "application/json", "B1");
        EXPECT_EQ(got.status, 404) << tc.method << ' ' << tc.path.toStdString() << ": " << got.body.toStdString();
    }

    // Lists hold only the caller's own.
    EXPECT_EQ(serialsOf(call(m_a, "GET", "devices").json.value("devices").toArray()), (QStringList{"A1", "A2"}));
    EXPECT_EQ(serialsOf(call(m_b, "GET", "devices").json.value("devices").toArray()), (QStringList{"B1"}));
    EXPECT_EQ(call(m_a, "GET", "fleet_alerts?limit=10").json.value("alerts").toArray().size(), 1);
    EXPECT_TRUE(call(m_b, "GET", "fleet_alerts?limit=10").json.value("alerts").toArray().isEmpty());
    EXPECT_EQ(call(m_b, "GET", "fleet_alerts?photographer=ABCD1234").status, 403);

    // Nothing of A's moved: its note is there, no policy reached A1 and its command is still pending.
    EXPECT_EQ(call(m_a, "GET", "device_notes?serial=A1").json.value("notes").toArray().size(), 1);
    EXPECT_FALSE(call(m_a, "GET", "device_policy?serial=A1").json.contains("policy"));
    EXPECT_EQ(call(m_a, "POST", "device_commands", R"({"serial": "A1"})").json.value("commands").toArray().size(), 1);
}

} // namespace
