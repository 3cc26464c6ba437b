#include "FleetAPIFixture.h"

#include "fleetd/cli/FleetdMain.h"
#include "fleetd/http/AlertHandlers.h"
#include "fleetd/http/FleetRoutes.h"
#include "fleetd/storage/ReleaseArchives.h"
#include "wire/KeyCaseConversion.h"
#include "wire/policy/DevicePolicy.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include <cstdio>

using namespace vesk::fleetd;

namespace {

using APIRoundTripTest = FleetAPIFixture;

QByteArray multipart(const QByteArray &boundary, const QList<std::pair<QByteArray, QByteArray>> &fields,
                     const QByteArray &zip)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"settings.zip\"\r\n"
            "Content-Type: application/zip\r\n\r\n" + zip + "\r\n--" + boundary + "--\r\n";
    return body;
}

TEST_F(APIRoundTripTest, QueuedCommandIsDeliveredRedeliveredWhenUnansweredAndClosedByItsResult)
{
    const HttpAnswer queued = call(m_a, "POST", "device_command",
                                   R"({"serial": "A2", "command": "restart_app", "params": {"bundle_id": "com.lumora.kiosk", "delay": 2}})");
    ASSERT_EQ(queued.status, 200) << queued.body.toStdString();
    EXPECT_EQ(queued.json.value("queued").toBool(), true);
    EXPECT_EQ(queued.json.value("serial").toString(), "A2");
    EXPECT_EQ(queued.json.value("command").toString(), "restart_app");
    const qint64 id = queued.json.value("command_id").toInteger();

    const HttpAnswer polled = call(m_a, "POST", "device_commands", R"({"serial": "A2"})", "application/json", "A2");
    ASSERT_EQ(polled.status, 200);
    EXPECT_EQ(polled.json.value("serial").toString(), "A2");
    const QJsonArray commands = polled.json.value("commands").toArray();
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0].toObject(), (QJsonObject{{"id", id},
                                                   {"command", "restart_app"},
                                                   {"params", QJsonObject{{"bundle_id", "com.lumora.kiosk"}, {"delay", 2}}}}));
    const auto pollA2 = [this] {
        const HttpAnswer answer = call(m_a, "POST", "device_commands", R"({"serial": "A2"})", "application/json", "A2");
        EXPECT_EQ(answer.status, 200) << answer.body.toStdString();
        return answer.json.value("commands").toArray();
    };
    EXPECT_TRUE(pollA2().isEmpty()) << "handed out once";
    EXPECT_EQ(m_store.commands().list("A2").value.at(0).deliveredAt, "2025-03-01T09:30:00.000Z");

    // The answer to that poll was lost: no result comes, and after the timeout it is handed out again.
    m_now = m_now.addSecs(599);
    EXPECT_TRUE(pollA2().isEmpty());
    m_now = m_now.addSecs(1);
    const QJsonArray again = pollA2();
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again[0].toObject().value("id").toInteger(), id);
    EXPECT_EQ(m_store.commands().list("A2").value.at(0).deliveredAt, "2025-03-01T09:40:00.000Z");
    EXPECT_TRUE(pollA2().isEmpty());

    const QByteArray result = QStringLiteral(R"({"command_id": %1, "success": false, "result": "Failed to restart"})")
                                  .arg(id)
                                  .toUtf8();
    // Only the machine the command is for may answer it.
    EXPECT_EQ(call(m_a, "POST", "device_command_result", result, "application/json", "A1").status, 404);
    EXPECT_EQ(call(m_b, "POST", "device_command_result", result, "application/json", "B1").status, 404);
    EXPECT_EQ(call(m_b, "POST", "device_command_result", result, "application/json", "A2").status, 403);
    EXPECT_EQ(call(m_a, "POST", "device_command_result", result, "application/json", "A2").status, 200);
    EXPECT_EQ(call(m_a, "POST", "device_command_result", result, "application/json", "A2").status, 409);
    m_now = m_now.addSecs(3600);
    EXPECT_TRUE(pollA2().isEmpty()) << "an answered command is never handed out again";
    EXPECT_EQ(call(m_a, "POST", "device_command_result", R"({"command_id": 0, "success": true, "result": "x"})").status,
              200);

    const QList<CommandRecord> stored = m_store.commands().list("A2").value;
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].state, "failed");
    EXPECT_EQ(stored[0].result, "Failed to restart");
    EXPECT_EQ(m_store.commands().list("A1").value.at(0).command, "local_action");

    // A shown message is answered twice: displayed, then dismissed at the machine.
    const qint64 shown = call(m_a, "POST", "device_command",
                              R"({"serial": "A2", "command": "show_message", "params": {"message": "Lunch break"}})")
                             .json.value("command_id")
                             .toInteger();
    for (const char *text : {"Message displayed (dismissable)", "Dismissed on the machine at Dec 6, 2026 at 9:15 AM"}) {
        const QByteArray answer =
            QStringLiteral(R"({"command_id": %1, "success": true, "result": "%2"})").arg(shown).arg(text).toUtf8();
        EXPECT_EQ(call(m_a, "POST", "device_command_result", answer, "application/json", "A2").status, 200) << text;
    }
    EXPECT_EQ(m_store.commands().list("A2").value.last().result, "Dismissed on the machine at Dec 6, 2026 at 9:15 AM");
}

TEST_F(APIRoundTripTest, TelemetryAndInstalledAppsComeBackInTheConsolesShape)
{
    vesk::TelemetryReport report = telemetry("A1");
    report.cpuUsage = 12.5;
    report.cpuCores = 8;
    report.isPluggedIn = true;
    report.batteryLevel = 80;
    report.hungApps = QStringList{"com.lumora.print"};
    vesk::ReportedRunningApp capture;
    capture.bundleId = "com.lumora.capture";
    capture.name = "Capture";
    capture.pid = 5;
    report.runningApps = QList{capture};
    report.networkInterfaces = {{"en0", "wifi", std::nullopt, true}};
    report.networkMounts = QStringList{"/Volumes/share"};
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(report)).status, 200);
    m_now = m_now.addSecs(3 * 3600);
    vesk::TelemetryReport later = telemetry("A1");
    later.cpuUsage = 7.5;
    ASSERT_EQ(call(m_a, "POST", "device_telemetry", body(later)).status, 200);

    const QJsonArray lastHour = call(m_a, "GET", "device_telemetry?serial=A1&hours=1").json.value("telemetry").toArray();
    ASSERT_EQ(lastHour.size(), 1);
    EXPECT_EQ(lastHour[0].toObject().value("cpu_usage").toDouble(), 7.5);
    const QJsonArray day = call(m_a, "GET", "device_telemetry?serial=A1&hours=24").json.value("telemetry").toArray();
    ASSERT_EQ(day.size(), 2);
    const QJsonObject first = day[0].toObject();
    EXPECT_EQ(first.value("serial").toString(), "A1");
    EXPECT_EQ(first.value("created_at").toString(), "2025-03-01T09:30:00.000Z");
    EXPECT_EQ(first.value("cpu_usage").toDouble(), 12.5);
    EXPECT_EQ(first.value("is_plugged_in").toInt(), 1);
    EXPECT_EQ(first.value("hung_apps").toString(), R"(["com.lumora.print"])");
    EXPECT_EQ(first.value("running_apps").toString(), R"(["Capture"])");
    EXPECT_EQ(QJsonDocument::fromJson(first.value("network_interfaces").toString().toUtf8()).array(),
              (QJsonArray{QJsonObject{{"name", "en0"}, {"type", "wifi"}, {"ip_address", ""}, {"is_active", true}}}));
    EXPECT_EQ(first.value("network_mounts").toString(), R"(["/Volumes/share"])");

    const HttpAnswer status = call(m_a, "GET", "device_status?serial=A1");
    ASSERT_EQ(status.json.value("apps").toArray().size(), 1);
    const QJsonObject app = status.json.value("apps").toArray()[0].toObject();
    EXPECT_EQ(app.value("app").toString(), "warden");
    EXPECT_EQ(app.value("consecutive_misses").toInt(), 11); // 3 hours without a heartbeat
    EXPECT_EQ(app.value("status").toString(), "offline");
    EXPECT_EQ(app.value("telemetry").toObject().value("cpu_usage").toDouble(), 7.5);

    EXPECT_TRUE(call(m_a, "GET", "device_installed_apps?serial=A1").json.value("apps").toArray().isEmpty());
    ASSERT_EQ(call(m_a, "POST", "device_installed_apps",
                   R"({"serial": "A1", "apps": [{"bundle_id": "com.lumora.capture", "is_running": true}]})")
                  .status,
              200);
    const QJsonArray apps = call(m_a, "GET", "device_installed_apps?serial=A1").json.value("apps").toArray();
    ASSERT_EQ(apps.size(), 1);
    EXPECT_EQ(apps[0].toObject().value("bundle_id").toString(), "com.lumora.capture");
    EXPECT_EQ(apps[0].toObject().value("reported_at").toString(), "2025-03-01T12:30:00.000Z");
}

TEST_F(APIRoundTripTest, AlertsAreListedForTheConsoleAcknowledgedAndClosedByTheirClearing)
{
    const auto alert = [](const char *serial, const char *severity, const char *category, const char *extra = "") {
        return QStringLiteral(R"({"serial": "%1", "severity": "%2", "category": "%3", "title": "t %3",)"
                              R"( "message": "m %2"%4})")
            .arg(serial, severity, category, extra)
            .toUtf8();
    };
    ASSERT_EQ(call(m_a, "POST", "device_alert", alert("A1", "warning", "disk")).status, 200);
    ASSERT_EQ(call(m_a, "POST", "device_alert", alert("A1", "critical", "disk")).status, 200);
    const qint64 cpu = call(m_a, "POST", "device_alert", alert("A1", "warning", "cpu")).json.value("alert_id").toInteger();
    ASSERT_EQ(call(m_a, "POST", "device_alert", alert("A2", "warning", "disk"), "application/json", "A2").status, 200);
    ASSERT_EQ(call(m_b, "POST", "device_alert", alert("B1", "warning", "disk"), "application/json", "B1").status, 200);
    const QByteArray acknowledge = QStringLiteral(R"({"alert_id": %1, "acknowledged": true})").arg(cpu).toUtf8();
    ASSERT_EQ(call(m_a, "PUT", "device_alert", acknowledge, "application/json", "A2").status, 200);
    // A1's disk clears: its open disk alerts close, not its CPU one nor A2's disk alert.
    ASSERT_EQ(call(m_a, "POST", "device_alert", alert("A1", "info", "disk", R"(, "resolved": true)")).status, 200);

    QStringList seen;
    for (const QJsonValue &row : call(m_a, "GET", "fleet_alerts?limit=10").json.value("alerts").toArray()) {
        const QJsonObject o = row.toObject();
        ASSERT_GT(o.value("alert_id").toInteger(), 0);
        seen << QStringList{o.value("serial").toString(), o.value("severity").toString(), o.value("category").toString(),
                            o.value("message").toString(), o.value("acknowledged_by").toString("open")}
                    .join(' ');
    }
    EXPECT_EQ(seen, (QStringList{"A1 info disk m info resolved", "A2 warning disk m warning open",
                                 "A1 warning cpu m warning A2", "A1 critical disk m critical resolved",
                                 "A1 warning disk m warning resolved"}));

    // The same from the shell, one tenant or all.
    const auto shell = [this](QStringList args) {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int code = fleetdMain(QStringList{"vesk-fleetd", "alerts", "list"} + args + QStringList{"--db", m_dbPath}, o, e);
        return std::pair(code, out.trimmed().split('\n', Qt::SkipEmptyParts));
    };
    const auto [codeA, linesA] = shell({"abcd1234"});
    ASSERT_EQ(codeA, 0);
    ASSERT_EQ(linesA.size(), 5);
    EXPECT_EQ(linesA[1].section('\t', 1), QStringLiteral("ABCD1234\t%1\tA2\twarning\tdisk\tt disk\tm warning\t-")
                                             .arg(m_now.toString(Qt::ISODateWithMs)));
    EXPECT_EQ(shell({}).second.size(), 6);
    EXPECT_EQ(shell({"NOSUCH"}).first, 1);
    EXPECT_EQ(shell({"ABCD1234", "extra"}).first, 2);
}

TEST_F(APIRoundTripTest, OneMachineFloodingAlertsIsLimitedWhileOthersAreAnswered)
{
    // A machine gone wild posts thousands a minute; VESK_ALERT_FLOOD raises the count here.
    const int flood = qEnvironmentVariableIntValue("VESK_ALERT_FLOOD") > 0 ? qEnvironmentVariableIntValue("VESK_ALERT_FLOOD")
                                                                          : 200;
    const QByteArray wild = R"({"serial": "A1", "severity": "critical", "category": "cpu", "title": "t", "message": "m"})";
    int stored = 0;
    int refused = 0;
    qint64 slowestOtherMs = 0;
    QElapsedTimer all;
    all.start();
    for (int i = 0; i < flood; ++i) {
        const HttpAnswer answer = call(m_a, "POST", "device_alert", wild);
        stored += answer.status == 200;
        if (answer.status == 429) {
            ++refused;
            EXPECT_EQ(answer.header("Retry-After"), "60");
        }
        if (i % 50 == 49) {
            QElapsedTimer other;
            other.start();
            EXPECT_EQ(call(m_b, "POST", "device_commands", R"({"serial": "B1"})", "application/json", "B1").status, 200);
            // Within its own allowance another machine of the same tenant is still heard.
            if (i / 50 < AlertHandlers::kAlertsPerMachine / 2) {
                EXPECT_EQ(call(m_a, "POST", "device_alert",
                               R"({"serial": "A2", "severity": "info", "category": "uptime", "title": "t", "message": "m"})",
                               "application/json", "A2")
                              .status,
                          200)
                    << "the limit is the machine's, not its tenant's";
            }
            slowestOtherMs = std::max(slowestOtherMs, other.elapsed());
        }
    }
    std::printf("%d alerts from one machine in %lld ms; others answered within %lld ms\n", flood,
                static_cast<long long>(all.elapsed()), static_cast<long long>(slowestOtherMs));
    EXPECT_EQ(stored, std::min(flood, AlertHandlers::kAlertsPerMachine));
    EXPECT_EQ(refused, flood - stored);
    EXPECT_LT(slowestOtherMs, 1000);
    m_now = m_now.addSecs(60);
    EXPECT_EQ(call(m_a, "POST", "device_alert", wild).status, 200) << "a new minute, a new allowance";
}

TEST_F(APIRoundTripTest, PayloadUploadListsAndDownloadsTheSameBytes)
{
    QByteArray zip = "PK\x03\x04";
    for (int i = 0; i < 70000; ++i)
        zip.append(static_cast<char>(i * 7));
    zip += "\r\n--not-the-boundary\r\n";
    const QByteArray body = multipart("warden-1234", {{"name", "Lobby kiosk"}, {"notes", ""},
                                                      {"target_path", "/Users/Shared/Lumora"},
                                                      {"relaunch_bundle_ids", R"(["com.lumora.kiosk"])"}}, zip);
    const HttpAnswer uploaded = call(m_a, "POST", "payload", body, "multipart/form-data; boundary=warden-1234");
    ASSERT_EQ(uploaded.status, 200) << uploaded.body.toStdString();
    const QJsonObject payload = uploaded.json.value("payload").toObject();
    EXPECT_EQ(payload.value("sha256").toString(),
              QCryptographicHash::hash(zip, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(payload.value("size_bytes").toInteger(), zip.size());
    EXPECT_EQ(payload.value("photographer").toString(), "ABCD1234");
    EXPECT_EQ(payload.value("relaunch_bundle_ids").toArray(), QJsonArray{"com.lumora.kiosk"});
    EXPECT_EQ(payload.value("filename").toString(), "settings.zip");
    const qint64 id = payload.value("id").toInteger();

    EXPECT_EQ(call(m_a, "GET", "payloads").json.value("payloads").toArray().size(), 1);
    EXPECT_TRUE(call(m_b, "GET", "payloads").json.value("payloads").toArray().isEmpty());
    EXPECT_EQ(call(m_a, "GET", QStringLiteral("payload?id=%1").arg(id)).json.value("payload").toObject(), payload);
    const HttpAnswer download = call(m_a, "GET", QStringLiteral("payload_download?id=%1").arg(id));
    EXPECT_EQ(download.contentType, "application/zip");
    EXPECT_EQ(download.body, zip);
    EXPECT_EQ(call(m_b, "GET", QStringLiteral("payload_download?id=%1").arg(id)).status, 404);
}

TEST_F(APIRoundTripTest, ReleaseArchiveIsServedWholeOrByTheRangeAsked)
{
    const QByteArray bytes = QByteArray(3000, 'a') + QByteArray(3000, 'b') + "end";
    QFile archive(m_dir.filePath("Print 3.1.zip"));
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    archive.write(bytes);
    archive.close();
    QString error;
    const auto stored = ReleaseArchives(m_dbPath).store(archive.fileName(), &error);
    ASSERT_TRUE(stored) << error.toStdString();
    FleetHttpServer hosting(fleetRoutes(FleetContext{m_store, [this] { return m_now; }, {}, m_dbPath}));
    const quint16 port = hosting.listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    QUrl url(QStringLiteral("http://127.0.0.1:%1/api/release_download").arg(port));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("file"), stored->name);
    url.setQuery(query);

    const qint64 size = bytes.size();
    const struct {
        QByteArray range;
        int status;
        qint64 first; // -1: no body to compare
        qint64 length;
    } cases[] = {
        {{}, 200, 0, size},
        {"bytes=2990-3009", 206, 2990, 20},
        {"bytes=6000-", 206, 6000, 3},
        {"bytes=100-999999", 206, 100, size - 100},
        {"bytes=-3", 206, size - 3, 3},
        {"bytes=-999999", 206, 0, size},
        {"bytes=6003-", 416, -1, 0},
        {"bytes=-0", 416, -1, 0},
        {"bytes=5-1", 200, 0, size},          // malformed: ignored
        {"bytes=0-1,5-6", 200, 0, size},      // several ranges: the whole file
        {"items=0-1", 200, 0, size},
    };
    for (const auto &tc : cases) {
        QList<std::pair<QByteArray, QByteArray>> headers;
        if (!tc.range.isEmpty())
            headers.append({"Range", tc.range});
        const HttpAnswer got = m_client.send("GET", url, {}, {}, headers);
        ASSERT_EQ(got.status, tc.status) << tc.range.toStdString() << ": " << got.body.toStdString();
        if (tc.status == 416) {
            EXPECT_EQ(got.header("Content-Range"), "bytes */" + QByteArray::number(size)) << tc.range.toStdString();
            continue;
        }
        EXPECT_EQ(got.body, bytes.mid(tc.first, tc.length)) << tc.range.toStdString();
        EXPECT_EQ(got.header("Content-Length"), QByteArray::number(tc.length)) << tc.range.toStdString();
        EXPECT_EQ(got.header("Accept-Ranges"), "bytes");
        EXPECT_EQ(got.header("Content-Range"),
                  tc.status == 206 ? "bytes " + QByteArray::number(tc.first) + '-' +
                                         QByteArray::number(tc.first + tc.length - 1) + '/' + QByteArray::number(size)
                                   : QByteArray())
            << tc.range.toStdString();
    }
}

TEST_F(APIRoundTripTest, SpeedtestServesRequestedSizesWithinItsCap)
{
    EXPECT_EQ(call(m_a, "HEAD", "speedtest").status, 200);
    for (const auto &[query, status, bytes] : {std::tuple{"", 200, 524288}, std::tuple{"?size=0", 200, 0},
                                               std::tuple{"?size=1000", 200, 1000},
                                               std::tuple{"?size=16777216", 200, 16777216},
                                               std::tuple{"?size=16777217", 400, -1}, std::tuple{"?size=-1", 400, -1},
                                               std::tuple{"?size=ten", 400, -1}}) {
        const HttpAnswer got = call(m_a, "GET", QStringLiteral("speedtest") + query);
        EXPECT_EQ(got.status, status) << query;
        if (bytes >= 0) {
            EXPECT_EQ(got.body.size(), bytes) << query;
        }
    }
    const HttpAnswer upload = call(m_a, "POST", "speedtest", QByteArray(524288, 'u'), "application/octet-stream");
    EXPECT_EQ(upload.status, 200);
    EXPECT_EQ(upload.json.value("received_bytes").toInteger(), 524288);
}

TEST_F(APIRoundTripTest, PoliciesAndReleasesReachTheMachinesTheyAreFor)
{
    const QByteArray policy = R"({"id": "5E1F6A3C-1111-4222-8333-944455556666", "name": "Kiosk",
        "keep_alive_rules": [], "app_restart_rules": [{"bundle_id": "com.lumora.print", "maxMemoryMB": 512}],
        "assigned_serials": ["A1"]})";
    ASSERT_EQ(call(m_a, "POST", "policy", policy).status, 200);
    const QJsonObject forA1 = call(m_a, "GET", "device_policy?serial=A1").json.value("policy").toObject();
    EXPECT_EQ(forA1.value("name").toString(), "Kiosk");
    // What the agent decodes from the answer is the policy that was saved.
    const auto decoded = vesk::DevicePolicy::fromJson(vesk::KeyCase::fromSnakeCase(forA1), nullptr);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->appRestartRules.size(), 1U);
    EXPECT_EQ(decoded->appRestartRules[0].maxMemoryMB, std::optional<qint64>(512));
    EXPECT_EQ(decoded->assignedSerials, QStringList{"A1"});
    EXPECT_EQ(forA1.value("assigned_serials").toArray(), QJsonArray{"A1"});
    EXPECT_FALSE(call(m_a, "GET", "device_policy?serial=A2").json.contains("policy"));

    // Assigning by uuid moves nothing else; the listing shows both machines.
    ASSERT_EQ(m_store.policies().assign(m_a.tenantId, "A2", "5e1f6a3c-1111-4222-8333-944455556666", m_now),
              StoreStatus::ok());
    const QJsonArray listed = call(m_a, "GET", "policies").json.value("policies").toArray();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].toObject().value("assigned_serials").toArray(), (QJsonArray{"A1", "A2"}));
    EXPECT_TRUE(call(m_b, "GET", "policies").json.value("policies").toArray().isEmpty());
    EXPECT_EQ(call(m_b, "DELETE", "policy?uuid=5e1f6a3c-1111-4222-8333-944455556666").status, 404);
    EXPECT_EQ(call(m_a, "DELETE", "policy?uuid={5E1F6A3C-1111-4222-8333-944455556666}").status, 200);
    EXPECT_FALSE(call(m_a, "GET", "device_policy?serial=A1").json.contains("policy"));

    ReleaseRecord release{"com.lumora.capture", "", "2.1", "", "https://dl.example/c.zip", QString(64, 'a'), "", "", true};
    ASSERT_EQ(m_store.releases().publish(release, m_now), StoreStatus::ok());
    const QJsonArray updates = call(m_b, "GET", "app_updates").json.value("updates").toArray();
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates[0].toObject(), (QJsonObject{{"bundle_id", "com.lumora.capture"},
                                                  {"version", "2.1"},
                                                  {"download_url", "https://dl.example/c.zip"},
                                                  {"sha256", QString(64, 'a')},
                                                  {"released_at", "2025-03-01T09:30:00.000Z"},
                                                  {"critical", true}}));
}

TEST_F(APIRoundTripTest, PolicyAndReleaseReadsAnswerNotModifiedUntilTheyChange)
{
    const auto savePolicy = [this](const char *name) {
        return call(m_a, "POST", "policy",
                    QByteArray(R"({"id": "5E1F6A3C-1111-4222-8333-944455556666", "name": ")") + name +
                        R"(", "assigned_serials": ["A1"]})");
    };
    const auto publish = [this](const char *version) {
        const ReleaseRecord release{"com.lumora.capture", "", version, "", "https://dl.example/c.zip",
                                    QString(64, 'a'), "", "", false};
        return m_store.releases().publish(release, m_now);
    };
    const auto ask = [this](const QString &path, const QByteArray &ifNoneMatch) {
        return raw("GET", path, {},
                   {{"X-Fleet-Key", m_a.key}, {"X-Device-Serial", "A1"}, {"If-None-Match", ifNoneMatch}});
    };
    ASSERT_EQ(savePolicy("Kiosk").status, 200);
    ASSERT_EQ(publish("2.1"), StoreStatus::ok());

    for (const QString &path : {QStringLiteral("device_policy?serial=A1"), QStringLiteral("app_updates")}) {
        const HttpAnswer first = call(m_a, "GET", path);
        const QByteArray etag = first.header("ETag");
        ASSERT_EQ(first.status, 200) << path.toStdString();
        ASSERT_TRUE(etag.startsWith('"') && etag.size() > 8) << path.toStdString() << ": " << etag.toStdString();
        EXPECT_EQ(call(m_a, "GET", path).header("ETag"), etag) << path.toStdString() << ": the tag is stable";
        for (const auto &[sent, status] : {std::pair{etag, 304}, std::pair{"W/" + etag, 304},
                                           std::pair{"\"other\", " + etag, 304}, std::pair{QByteArray("*"), 304},
                                           std::pair{QByteArray("\"other\""), 200}}) {
            const HttpAnswer got = ask(path, sent);
            EXPECT_EQ(got.status, status) << path.toStdString() << " If-None-Match: " << sent.toStdString();
            EXPECT_EQ(got.header("ETag"), etag) << path.toStdString() << " If-None-Match: " << sent.toStdString();
            EXPECT_EQ(got.body.isEmpty(), status == 304) << path.toStdString() << " If-None-Match: " << sent.toStdString();
        }
    }
    const QByteArray policyTag = call(m_a, "GET", "device_policy?serial=A1").header("ETag");
    const QByteArray updatesTag = call(m_a, "GET", "app_updates").header("ETag");
    ASSERT_EQ(savePolicy("Kiosk at night").status, 200);
    ASSERT_EQ(publish("2.2"), StoreStatus::ok());
    for (const auto &[path, oldTag, changed] :
         {std::tuple{QStringLiteral("device_policy?serial=A1"), policyTag, "Kiosk at night"},
          std::tuple{QStringLiteral("app_updates"), updatesTag, "2.2"}}) {
        const HttpAnswer got = ask(path, oldTag);
        EXPECT_EQ(got.status, 200) << path.toStdString();
        EXPECT_FALSE(got.header("ETag").isEmpty()) << path.toStdString();
        EXPECT_NE(got.header("ETag"), oldTag) << path.toStdString();
        EXPECT_TRUE(got.body.contains(changed)) << path.toStdString();
    }
}

} // namespace
