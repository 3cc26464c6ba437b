#include "FleetAPIFixture.h"

using namespace vesk::fleetd;

namespace {

using BadRequestTest = FleetAPIFixture;

TEST_F(BadRequestTest, MalformedOversizedAndMistypedBodiesGet400WithAReason)
{
    const QByteArray zipPart = "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"x.zip\"\r\n\r\nPK\x03\x04"
                               "\r\n--b--\r\n";
    const QByteArray named = "--b\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\nN\r\n"
                             "--b\r\nContent-Disposition: form-data; name=\"target_path\"\r\n\r\n/Users/Shared/x\r\n";
    const struct {
        const char *name;
        const char *method;
        QString path;
        QByteArray body;
        QByteArray contentType;
        const char *reason;
    } cases[] = {
        {"malformed JSON", "POST", "device_commands", R"({"serial": )", "application/json", "malformed JSON"},
        {"array body", "POST", "device_telemetry", "[]", "application/json", "JSON object"},
        {"telemetry without its values", "POST", "device_telemetry", R"({"serial": "A1", "cpu_usage": 5})",
         "application/json", "timestamp: missing"},
        {"text content type", "POST", "device_commands", R"({"serial": "A1"})", "text/plain", "Content-Type"},
        {"serial a number", "POST", "device_commands", R"({"serial": 7})", "application/json",
         "serial: expected a string"},
        {"unknown command", "POST", "device_command", R"({"serial": "A1", "command": "format_disk"})",
         "application/json", "unknown command"},
        {"params a list", "POST", "device_command", R"({"serial": "A1", "command": "restart", "params": []})",
         "application/json", "params: expected an object"},
        {"nested param", "POST", "device_command",
         R"({"serial": "A1", "command": "restart", "params": {"at": {}}})", "application/json", "\"at\""},
        {"fractional id", "POST", "device_command_result", R"({"command_id": 1.5, "success": true})",
         "application/json", "command_id: expected an integer"},
        {"success as text", "POST", "device_command_result", R"({"command_id": 1, "success": "yes"})",
         "application/json", "success: expected a boolean"},
        {"apps not a list", "POST", "device_installed_apps", R"({"serial": "A1", "apps": {}})", "application/json",
         "apps: expected an array"},
        {"app without bundle id", "POST", "device_installed_apps", R"({"serial": "A1", "apps": [{"name": "x"}]})",
         "application/json", "bundle_id"},
        {"bad severity", "POST", "device_alert",
         R"({"serial": "A1", "severity": "loud", "category": "disk", "title": "", "message": ""})", "application/json",
         "severity"},
        {"policy without id", "POST", "policy", R"({"name": "P"})", "application/json", "UUID"},
        {"policy serials not a list", "POST", "policy",
         R"({"id": "5e1f6a3c-1111-4222-8333-944455556666", "assigned_serials": "A1"})", "application/json",
         "assignedSerials"},
        {"hours out of range", "GET", "device_telemetry?serial=A1&hours=0", {}, {}, "hours"},
        {"limit not a number", "GET", "device_logs?serial=A1&limit=all", {}, {}, "limit"},
        {"no serial", "GET", "device_status", {}, {}, "serial"},
        {"note id not a number", "DELETE", "device_notes?id=abc", {}, {}, "id"},
        {"policy uuid not a uuid", "DELETE", "policy?uuid=xyz", {}, {}, "UUID"},
        {"payload without boundary", "POST", "payload", zipPart, "multipart/form-data", "boundary"},
        {"payload as JSON", "POST", "payload", "{}", "application/json", "multipart"},
        {"payload without fields", "POST", "payload", zipPart, "multipart/form-data; boundary=b", "name"},
        {"payload without file", "POST", "payload", named + "--b--\r\n", "multipart/form-data; boundary=b", "file"},
        {"payload not a zip", "POST", "payload",
         named + "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"x.zip\"\r\n\r\nMZ\r\n--b--\r\n",
         "multipart/form-data; boundary=b", "zip"},
        {"payload truncated", "POST", "payload", named + "--b\r\nContent-Disposition: form-data; name=\"file\"",
         "multipart/form-data; boundary=b", "part"},
        {"payload relaunch not JSON", "POST", "payload",
         named + "--b\r\nContent-Disposition: form-data; name=\"relaunch_bundle_ids\"\r\n\r\ncom.x\r\n" +
             zipPart.mid(0),
         "multipart/form-data; boundary=b", "relaunch_bundle_ids"},
        {"secret fetch serial a list", "POST", "fetch_fleet_secret", R"({"serial": []})", "application/json",
         "serial"},
    };
    for (const auto &tc : cases) {
        const HttpAnswer got = call(m_a, tc.method, tc.path, tc.body, tc.contentType);
        EXPECT_EQ(got.status, 400) << tc.name << ": " << got.body.left(200).toStdString();
        EXPECT_TRUE(got.json.value("error").toString().contains(QLatin1String(tc.reason)))
            << tc.name << ": " << got.body.left(200).toStdString();
    }
    EXPECT_TRUE(m_store.commands().list("A1").value.isEmpty());
    EXPECT_TRUE(m_store.payloads().list(m_a.tenantId).value.isEmpty());
}

TEST_F(BadRequestTest, UnknownRoutesGet404AndWrongMethods405)
{
    for (const auto &[method, path, status] : {std::tuple{"GET", "device_commands", 405},
                                               std::tuple{"DELETE", "device_alert", 405},
                                               std::tuple{"PUT", "speedtest", 405},
                                               std::tuple{"GET", "device_command_results", 404},
                                               std::tuple{"POST", "devices/extra", 404}}) {
        const HttpAnswer got = call(m_a, method, path, "{}");
        EXPECT_EQ(got.status, status) << method << ' ' << path;
        EXPECT_FALSE(got.json.value("error").toString().isEmpty()) << method << ' ' << path;
    }
}

} // namespace
