#include "FleetTestRig.h"
#include "LogCapture.h"

#include "wire/KeyCaseConversion.h"
#include "fleet/MultipartBody.h"
#include "wire/GzipBody.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace vesk;
using namespace std::chrono_literals;
using vesk::test::FleetTestRig;

namespace {

const QString kTenant = QStringLiteral("abc");
// SHA-256 of the three bytes "abc" (the FIPS 180-2 example), not computed by the code under test.
const QByteArray kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const QString kCode = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

std::optional<QByteArray> header(const HttpRequest &request, const QByteArray &name)
{
    for (const auto &[key, value] : request.headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

QJsonObject bodyOf(const HttpRequest &request)
{
    const bool gzip = header(request, "Content-Encoding") == "gzip";
    return QJsonDocument::fromJson(gzip ? GzipBody::inflate(request.body, 1 << 20).data.value_or("") : request.body)
        .object();
}

struct PairedRig : FleetTestRig {
    PairedRig()
    {
        setTenant(kTenant);
        storeSecret(kTenant, kCode, 42, QStringLiteral("01234567"));
    }
};

} // namespace

TEST(FleetAPIClient, SignsEveryRequestWithTheTenantHashSecretIdAndCode)
{
    PairedRig rig;
    rig.http.expect("POST", "/api/device_commands", 200, R"({"serial":"C02XK1ABCD","commands":[]})");
    const auto result = QCoro::waitFor(rig.api.fetchPendingCommands());
    ASSERT_TRUE(result.ok()) << result;

    const HttpRequest &sent = rig.http.requests().at(0);
    EXPECT_EQ(sent.url.toString(), "https://fleet.example.com/api/device_commands");
    EXPECT_EQ(header(sent, "X-Fleet-Key"), kAbcSha256 + ".42." + kCode.toUtf8());
    EXPECT_EQ(header(sent, "X-Device-Serial"), std::nullopt) << "the body names this machine";
    EXPECT_EQ(header(sent, "Content-Type"), "application/json");
    EXPECT_EQ(bodyOf(sent), QJsonObject({{"serial", "C02XK1ABCD"}}));
    EXPECT_EQ(sent.timeout, 60s);
    EXPECT_EQ(sent.totalTimeout, 2min) << "a server trickling bytes must not stall command polling";
}

TEST(FleetAPIClient, SendsNoCredentialsWithoutATenantOrWithoutAStoredSecret)
{
    struct Case {
        const char *name;
        QString tenant;
        bool secretStored;
    } cases[] = {
        {"no tenant code (a secret is stored for another tenant)", "", true},
        {"tenant without a stored secret", "abc", false},
    };
    for (const Case &c : cases) {
        FleetTestRig rig;
        rig.setTenant(c.tenant);
        if (c.secretStored)
            rig.storeSecret("abc", kCode, 42);
        rig.http.expect("GET", "/api/payloads", 200, R"({"payloads":[]})");
        ASSERT_TRUE(QCoro::waitFor(rig.api.payloadList()).ok()) << c.name;
        const HttpRequest &sent = rig.http.requests().at(0);
        EXPECT_FALSE(header(sent, "X-Fleet-Key")) << c.name;
        EXPECT_FALSE(header(sent, "X-Device-Serial")) << c.name;
        EXPECT_EQ(sent.url.toString(), "https://fleet.example.com/api/payloads") << c.name << ": no empty query";
    }
}

TEST(FleetAPIClient, MapsFailedResponsesToTheirMessages)
{
    struct Case {
        const char *name;
        int status;
        QByteArray body;
        QString want;
    } cases[] = {
        {"401 plain", 401, "", "Not authorized (401)"},
        {"403 plain", 403, "", "Access denied (403)"},
        {"404", 404, "", "Not found (404)"},
        {"409", 409, "", "Conflict (409)"},
        {"429", 429, "", "Rate limited (429) — try again shortly"},
        {"502 with empty body", 502, "", "Server error (502)"},
        {"418", 418, "", "HTTP 418"},
        {"201 is not the expected status", 201, "", "HTTP 201"},
        {"error key wins", 400, R"({"error":"Unknown serial","message":"m","detail":"d"})", "Unknown serial (400)"},
        {"message after an empty error", 422, R"({"error":"","message":"Bad params","detail":"d"})",
         "Bad params (422)"},
        {"detail alone", 500, R"({"detail":"Database unavailable"})", "Database unavailable (500)"},
        {"non-string error falls back to status", 500, R"({"error":17})", "Server error (500)"},
        {"JSON array body", 404, R"(["error"])", "Not found (404)"},
    };
    for (const Case &c : cases) {
        PairedRig rig;
        rig.http.expect("POST", "/api/device_telemetry", c.status, c.body);
        TelemetryReport report;
        report.serial = QStringLiteral("C02XK1ABCD");
        const APIStatus result = QCoro::waitFor(rig.api.reportTelemetry(report));
        EXPECT_EQ(result, APIStatus(APIError::serverError(c.want))) << c.name;
        EXPECT_TRUE(rig.hasSecret(kTenant)) << c.name << ": an ordinary failure keeps the secret";
        EXPECT_EQ(rig.secrets.flags().snapshot(), PairingFlags::Snapshot{}) << c.name;
    }
}

TEST(FleetAPIClient, TransportFailureIsANetworkErrorWithTheTransportsText)
{
    PairedRig rig;
    rig.http.expectFailure("GET", "/api/device_status", "Connection refused");
    EXPECT_EQ(QCoro::waitFor(rig.api.deviceStatus("S1")).error(), APIError::networkError("Connection refused"));
}

TEST(FleetAPIClient, SecretStatusHeadersWipeTheSecretAndRaiseAFlag)
{
    const QString revoked = "This device has been revoked by your administrator. Contact your admin to restore service.";
    const QString changed =
        "Your fleet secret changed. Open Settings and paste the new secret from your admin to reconnect.";
    struct Case {
        const char *name;
        int status;
        HttpHeaders headers;
        QString want;
        bool wiped;
        PairingFlags::Snapshot flags;
    } cases[] = {
        {"revoked, mixed case", 401, {{"x-FLEET-secret-REVOKED", "True"}}, revoked, true, {.isRevoked = true}},
        {"rotated in capitals", 403, {{"X-Fleet-Secret-Rotated", "TRUE"}}, changed, true, {.needsReentry = true}},
        {"stale", 401, {{"x-fleet-secret-stale", "true"}}, changed, true, {.needsReentry = true}},
        {"mismatch", 403, {{"X-FLEET-SECRET-MISMATCH", "true"}}, changed, true, {.needsReentry = true}},
        {"revoked wins over rotated", 403,
         {{"X-Fleet-Secret-Rotated", "true"}, {"X-Fleet-Secret-Revoked", "true"}}, revoked, true,
         {.isRevoked = true}},
        {"a value other than true does not count", 403, {{"X-Fleet-Secret-Rotated", "yes"}}, "Access denied (403)",
         false, {}},
        {"only on 401 or 403", 500, {{"X-Fleet-Secret-Revoked", "true"}}, "Server error (500)", false, {}},
    };
    for (const Case &c : cases) {
        PairedRig rig;
        vesk::test::LogCapture log;
        rig.http.expect("GET", "/api/device_notes", c.status, {}, c.headers);
        const auto result = QCoro::waitFor(rig.api.machineNotes("S1"));
        EXPECT_EQ(result.error(), APIError::serverError(c.want)) << c.name;
        EXPECT_EQ(rig.hasSecret(kTenant), !c.wiped) << c.name;
        EXPECT_EQ(rig.secrets.flags().snapshot(), c.flags) << c.name;
        const bool mismatchLogged = log.messages("fleet-secret").contains(
            "FleetSecretManager: server reported secret mismatch — wiping local cache, operator must re-pair");
        EXPECT_EQ(mismatchLogged, QByteArray(c.name) == "mismatch") << c.name;
    }
}

TEST(FleetAPIClient, ALateVerdictWipesOnlyTheSecretItsRequestCarried)
{
    const QString newCode = QStringLiteral("fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210");
    const HttpHeaders revoked{{"X-Fleet-Secret-Revoked", "true"}};
    const HttpHeaders rotated{{"X-Fleet-Secret-Rotated", "true"}};
    const StoredFleetSecret oldSecret{kCode, 42};
    enum class Meanwhile { nothing, repaired, tenantChanged };
    struct Case {
        const char *name;
        HttpHeaders verdict;
        Meanwhile meanwhile;
        std::optional<StoredFleetSecret> wantStored; // for kTenant once the answer is in
        PairingFlags::Snapshot flags;
    } cases[] = {
        {"revoked after the operator re-paired", revoked, Meanwhile::repaired, StoredFleetSecret{newCode, 43}, {}},
        {"rotated after the operator re-paired", rotated, Meanwhile::repaired, StoredFleetSecret{newCode, 43}, {}},
        {"revoked after the tenant changed", revoked, Meanwhile::tenantChanged, oldSecret, {}},
        {"revoked, nothing changed meanwhile", revoked, Meanwhile::nothing, std::nullopt, {.isRevoked = true}},
        {"rotated, nothing changed meanwhile", rotated, Meanwhile::nothing, std::nullopt, {.needsReentry = true}},
    };
    for (const Case &c : cases) {
        PairedRig rig;
        rig.http.expect("GET", "/api/device_notes", 403, {}, c.verdict).held();
        QCoro::Task<APIResult<MachineNotesResponse>> notes = rig.api.machineNotes("S1");
        ASSERT_EQ(rig.http.heldCount(), 1u) << c.name;
        if (c.meanwhile == Meanwhile::repaired) {
            rig.http.expect("POST", "/api/fetch_fleet_secret", 200,
                            R"({"fleet_secret_id":43,"secret_preview":"fedcba98","photographer":"abc"})");
            rig.http.expect("GET", "/api/policies", 200);
            ASSERT_TRUE(QCoro::waitFor(rig.secrets.pair(newCode)).paired) << c.name;
        } else if (c.meanwhile == Meanwhile::tenantChanged) {
            rig.setTenant("xyz");
        }
        rig.http.releaseHeld();

        EXPECT_FALSE(QCoro::waitFor(std::move(notes)).ok()) << c.name;
        EXPECT_EQ(QCoro::waitFor(rig.secrets.storedSecret(kTenant)), c.wantStored) << c.name;
        EXPECT_EQ(rig.secrets.flags().snapshot(), c.flags) << c.name;
    }
}

TEST(FleetAPIClient, AfterRevocationLaterRequestsGoOutWithoutTheKey)
{
    PairedRig rig;
    rig.http.expect("POST", "/api/device_commands", 403, {}, {{"X-Fleet-Secret-Revoked", "true"}});
    rig.http.expect("POST", "/api/device_commands", 401);
    QCoro::waitFor(rig.api.fetchPendingCommands());
    const auto second = QCoro::waitFor(rig.api.fetchPendingCommands());
    EXPECT_EQ(second.error().message(), "Not authorized (401)");
    EXPECT_TRUE(header(rig.http.requests().at(0), "X-Fleet-Key"));
    EXPECT_FALSE(header(rig.http.requests().at(1), "X-Fleet-Key"));
    EXPECT_FALSE(QCoro::waitFor(rig.api.isConfigured()));
}

TEST(FleetAPIClient, SecretHeadersWithoutATenantChangeNothing)
{
    FleetTestRig rig;
    rig.storeSecret("abc", kCode, 42);
    rig.http.expect("GET", "/api/payloads", 403, {}, {{"X-Fleet-Secret-Revoked", "true"}});
    EXPECT_EQ(QCoro::waitFor(rig.api.payloadList()).error().message(), "Access denied (403)");
    EXPECT_TRUE(rig.hasSecret("abc"));
    EXPECT_FALSE(rig.secrets.flags().snapshot().isRevoked);
}

TEST(FleetAPIClient, DecodeFailuresQuoteTheLabelAndAtMost300Characters)
{
    const QByteArray longBody = QByteArray(299, 'x') + "\xc3\xa9" + "tail"; // 299 + é + "tail"
    struct Case {
        const char *name;
        QByteArray body;
        QString want;
    } cases[] = {
        {"not JSON", "<html>oops</html>", "Command poll decode failed: <html>oops</html>"},
        {"missing member", R"({"serial":"S1"})", R"(Command poll decode failed: {"serial":"S1"})"},
        {"long body cut at 300 characters", longBody,
         "Command poll decode failed: " + QString(299, 'x') + QString::fromUtf8("\xc3\xa9")},
        {"not UTF-8", "\xff\xfe\x00\x01", "Command poll decode failed: (binary)"},
    };
    for (const Case &c : cases) {
        PairedRig rig;
        rig.http.expect("POST", "/api/device_commands", 200, c.body);
        EXPECT_EQ(QCoro::waitFor(rig.api.fetchPendingCommands()).error(), APIError::serverError(c.want)) << c.name;
    }
}

TEST(FleetAPIClient, PolicyDecodingConvertsSnakeCaseSoMaxMemoryMBOnlyMatchesItsOwnName)
{
    PairedRig rig;
    rig.http.expect("GET", "/api/device_policy", 200, R"({"policy":{"name":"Front desk",
        "restart_schedule":{"enabled":true,"hour":3,"minute":30,"days":65},
        "app_restart_rules":[{"bundle_id":"com.lumora.print","max_memory_mb":512},
                             {"bundle_id":"com.lumora.kiosk","maxMemoryMB":256}],
        "assigned_serials":["C02XK1ABCD"]}})");
    const auto result = QCoro::waitFor(rig.api.fetchDevicePolicy());
    ASSERT_TRUE(result.ok()) << result;
    EXPECT_EQ(rig.http.requests().at(0).url.query(), "serial=C02XK1ABCD");
    const DevicePolicy &policy = *result->policy;
    EXPECT_EQ(policy.name, "Front desk");
    EXPECT_EQ(policy.restartSchedule, (RestartSchedule{true, 3, 30, Weekdays(65)}));
    EXPECT_EQ(policy.assignedSerials, QStringList{"C02XK1ABCD"});
    ASSERT_EQ(policy.appRestartRules.size(), 2);
    EXPECT_EQ(policy.appRestartRules[0].bundleId, "com.lumora.print");
    EXPECT_EQ(policy.appRestartRules[0].maxMemoryMB, std::nullopt) << "max_memory_mb becomes maxMemoryMb";
    EXPECT_EQ(policy.appRestartRules[1].maxMemoryMB, 256);
}

TEST(FleetAPIClient, AppUpdatesDecodeWithConvertedKeysAndFailWithoutADownloadUrl)
{
    PairedRig rig;
    rig.http.expect("GET", "/api/app_updates", 200,
                    R"({"updates":[{"bundle_id":"com.lumora.print","version":"2.1","download_url":"https://d/x.zip",
                        "release_notes":"Fixes","critical":true}]})");
    rig.http.expect("GET", "/api/app_updates", 200, R"({"updates":[{"bundle_id":"com.lumora.print","version":"2.1"}]})");
    const auto good = QCoro::waitFor(rig.api.fetchAppUpdates());
    ASSERT_TRUE(good.ok()) << good;
    EXPECT_EQ(good->updates.at(0).downloadUrl, "https://d/x.zip");
    EXPECT_EQ(good->updates.at(0).releaseNotes, "Fixes");
    EXPECT_TRUE(good->updates.at(0).isCritical());
    EXPECT_TRUE(QCoro::waitFor(rig.api.fetchAppUpdates()).error().message().startsWith("App updates decode failed: "));
}

TEST(FleetAPIClient, SavedPolicyTravelsWithSnakeCaseKeys)
{
    PairedRig rig;
    DevicePolicy policy;
    AppRestartRule rule;
    rule.bundleId = "com.lumora.print";
    rule.maxMemoryMB = 512;
    policy.appRestartRules = {rule};
    rig.http.expect("POST", "/api/policy", 200);
    ASSERT_TRUE(QCoro::waitFor(rig.api.savePolicy(policy)).ok());
    const QJsonObject sent = bodyOf(rig.http.requests().at(0));
    EXPECT_TRUE(sent.contains("restart_schedule"));
    EXPECT_TRUE(sent.value("update_policy").toObject().contains("pinned_versions"));
    const QJsonObject sentRule = sent.value("app_restart_rules").toArray().at(0).toObject();
    EXPECT_EQ(sentRule.value("bundle_id"), "com.lumora.print");
    EXPECT_EQ(sentRule.value("max_memory_mb"), 512);
}

TEST(FleetAPIClient, KeyCaseConversionOfSingleKeys)
{
    struct Case {
        QString snake;
        QString camel;
    } fromSnake[] = {
        {"keep_alive_rules", "keepAliveRules"}, {"max_memory_mb", "maxMemoryMb"}, {"maxMemoryMB", "maxMemoryMB"},
        {"_private_key", "_privateKey"},        {"trailing_", "trailing_"},        {"a__b", "aB"},
        {"MAX_VALUE", "maxValue"},              {"id", "id"},
    };
    for (const Case &c : fromSnake)
        EXPECT_EQ(KeyCase::snakeToCamel(c.snake), c.camel) << c.snake.toStdString();
    struct Back {
        QString camel;
        QString snake;
    } toSnake[] = {
        {"keepAliveRules", "keep_alive_rules"}, {"maxMemoryMB", "max_memory_mb"}, {"myURLValue", "my_url_value"},
        {"uptime90d", "uptime90d"},             {"id", "id"},
    };
    for (const Back &c : toSnake)
        EXPECT_EQ(KeyCase::camelToSnake(c.camel), c.snake) << c.camel.toStdString();
}

TEST(FleetAPIClient, MultipartBodyLayout)
{
    PayloadUpload upload{"Kiosk prefs", "v2", "/Users/Shared/Kiosk", {}, "prefs.zip", "PK\x03\x04zip"};
    const MultipartBody body(upload, "warden-B");
    const QByteArray want = "--warden-B\r\n"
                            "Content-Disposition: form-data; name=\"name\"\r\n\r\nKiosk prefs\r\n"
                            "--warden-B\r\n"
                            "Content-Disposition: form-data; name=\"notes\"\r\n\r\nv2\r\n"
                            "--warden-B\r\n"
                            "Content-Disposition: form-data; name=\"target_path\"\r\n\r\n/Users/Shared/Kiosk\r\n"
                            "--warden-B\r\n"
                            "Content-Disposition: form-data; name=\"relaunch_bundle_ids\"\r\n\r\n[]\r\n"
                            "--warden-B\r\n"
                            "Content-Disposition: form-data; name=\"file\"; filename=\"prefs.zip\"\r\n"
                            "Content-Type: application/zip\r\n\r\n"
                            "PK\x03\x04zip\r\n"
                            "--warden-B--\r\n";
    EXPECT_EQ(body.bytes(), want);
    EXPECT_EQ(body.contentType(), "multipart/form-data; boundary=warden-B");
}

TEST(FleetAPIClient, PayloadUploadSendsAFreshBoundaryAndLeavesNoStagingFile)
{
    PairedRig rig;
    rig.http.expect("POST", "/api/payload", 200,
                    R"({"payload":{"id":9,"photographer":"abc","name":"n","filename":"p.zip","sha256":"00",
                        "target_path":"/t","relaunch_bundle_ids":["com.lumora.kiosk"],"size_bytes":3}})");
    const auto result = QCoro::waitFor(
        rig.api.uploadPayload(PayloadUpload{"n", "", "/t", {"com.lumora.kiosk"}, "p.zip", "zip"}));
    ASSERT_TRUE(result.ok()) << result;
    EXPECT_EQ(result->payload.id, 9);
    const HttpRequest &sent = rig.http.requests().at(0);
    const QByteArray contentType = header(sent, "Content-Type").value_or("");
    ASSERT_TRUE(contentType.startsWith("multipart/form-data; boundary=warden-")) << contentType.constData();
    const QByteArray boundary = contentType.mid(contentType.indexOf('=') + 1);
    EXPECT_EQ(boundary.size(), 7 + 36) << "warden- and a UUID";
    EXPECT_TRUE(sent.body.startsWith("--" + boundary + "\r\n"));
    EXPECT_TRUE(sent.body.contains("\r\n\r\n[\"com.lumora.kiosk\"]\r\n"));
    EXPECT_TRUE(sent.body.endsWith("--" + boundary + "--\r\n"));
    EXPECT_FALSE(sent.bodyFile.isEmpty()) << "sent from the staged file";
    EXPECT_EQ(sent.totalTimeout, std::chrono::milliseconds(3600 * 1000));
    EXPECT_EQ(QDir(rig.tempRoot.path() + "/tmp").entryList({"payload-upload-*"}, QDir::Files), QStringList());
}

TEST(FleetAPIClient, PayloadDownloadLandsInATemporaryFile)
{
    PairedRig rig;
    rig.http.expect("GET", "/api/payload_download", 200, "PK\x03\x04archive");
    const auto result = QCoro::waitFor(rig.api.downloadPayload(9));
    ASSERT_TRUE(result.ok()) << result;
    EXPECT_EQ(rig.http.requests().at(0).url.query(), "id=9");
    EXPECT_TRUE(QFileInfo(*result).fileName().startsWith("payload-")) << result->toStdString();
    QFile file(*result);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "PK\x03\x04archive");
    EXPECT_EQ(rig.http.requests().at(0).totalTimeout, std::chrono::milliseconds(3600 * 1000));
    file.remove();

    // A refused download leaves no file behind.
    rig.http.expect("GET", "/api/payload_download", 404, "gone");
    EXPECT_FALSE(QCoro::waitFor(rig.api.downloadPayload(10)).ok());
    EXPECT_EQ(QDir(rig.tempRoot.path() + "/tmp").entryList({"payload-*"}, QDir::Files), QStringList());
}

TEST(FleetAPIClient, SpeedTestMeasuresLatencyDownloadAndUpload)
{
    PairedRig rig;
    rig.monotonicReadings = {0ms, 20ms, 1000ms, 1500ms, 2000ms, 3000ms};
    rig.http.expect("HEAD", "/api/speedtest", 200);
    rig.http.expect("GET", "/api/speedtest", 200, "short body: the requested size counts");
    rig.http.expect("POST", "/api/speedtest", 200);
    const auto result = QCoro::waitFor(rig.api.runSpeedTest());
    ASSERT_TRUE(result.ok()) << result;
    ASSERT_TRUE(result.value().has_value());
    EXPECT_DOUBLE_EQ(result.value()->latencyMs, 20.0);
    EXPECT_DOUBLE_EQ(result.value()->downloadMbps, 4194304.0 / 500000.0);
    EXPECT_DOUBLE_EQ(result.value()->uploadMbps, 524288.0 * 8 / 1000000.0);

    const auto &sent = rig.http.requests();
    EXPECT_EQ(sent.at(1).url.query(), "size=524288");
    EXPECT_EQ(header(sent.at(2), "Content-Type"), "application/octet-stream");
    EXPECT_EQ(sent.at(2).body.size(), 524288);
    EXPECT_GE(sent.at(1).maxBodyBytes, 524288) << "the download must fit under the response cap";
    for (const HttpRequest &request : sent)
        EXPECT_TRUE(header(request, "X-Fleet-Key")) << request.method.constData();
}

TEST(FleetAPIClient, SpeedTestGivesNoResultAndSendsNothingWhileNotConfigured)
{
    FleetTestRig rig;
    rig.setTenant(kTenant);
    const auto result = QCoro::waitFor(rig.api.runSpeedTest());
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.value().has_value());
    EXPECT_TRUE(rig.http.requests().empty());
}

TEST(FleetAPIClient, ConsoleQueriesCarryTheirItems)
{
    PairedRig rig;
    rig.http.expect("GET", "/api/fleet_alerts", 200, R"({"alerts":[{"serial":"S1","severity":"critical"}]})");
    rig.http.expect("GET", "/api/device_logs", 200, R"({"serial":"S1","logs":[]})");
    rig.http.expect("DELETE", "/api/policy", 200);
    rig.http.expect("GET", "/api/device_telemetry", 200, R"({"telemetry":[]})");
    const auto alerts = QCoro::waitFor(rig.api.fleetAlerts(50));
    ASSERT_TRUE(alerts.ok()) << alerts;
    EXPECT_EQ(alerts->at(0).severity, QStringLiteral("critical"));
    ASSERT_TRUE(QCoro::waitFor(rig.api.appLogs("S1", 20, QString("com.lumora.print"))).ok());
    ASSERT_TRUE(QCoro::waitFor(rig.api.deletePolicy(QUuid("{5b0d3c57-6a8e-4e6f-9d2b-8f1a2c3d4e5f}"))).ok());

    const auto &sent = rig.http.requests();
    EXPECT_EQ(QUrlQuery(sent.at(0).url).queryItems(),
              (QList<QPair<QString, QString>>{{"limit", "50"}, {"photographer", "abc"}}));
    EXPECT_EQ(QUrlQuery(sent.at(1).url).queryItems(),
              (QList<QPair<QString, QString>>{{"serial", "S1"}, {"limit", "20"}, {"bundle_id", "com.lumora.print"}}));
    EXPECT_EQ(sent.at(2).url.query(), "uuid=5B0D3C57-6A8E-4E6F-9D2B-8F1A2C3D4E5F");
    // A week of telemetry answers in bulk: ten thousand snapshots must not hit the ordinary cap.
    ASSERT_TRUE(QCoro::waitFor(rig.api.telemetryHistory("S1", 168)).ok());
    EXPECT_GE(sent.at(3).maxBodyBytes, 10000 * 2048);
}

TEST(FleetAPIClient, MachineDirectoryListsTheTenantsMachinesOrQuotesWhatCouldNotBeRead)
{
    PairedRig rig;
    rig.http.expect("GET", "/api/devices", 200,
                    R"({"devices":[{"id":"S1","serial":"S1","name":"Booth 1","app":"Booth","app_version":"2.4",)"
                    R"("eventcode":"GALA","first_seen":"","last_seen":"","status":"online"}]})");
    rig.http.expect("GET", "/api/devices", 200, "<html>gateway</html>");
    const auto listed = QCoro::waitFor(rig.api.machineDirectory());
    ASSERT_TRUE(listed.ok()) << listed;
    ASSERT_EQ(listed->devices.size(), 1);
    EXPECT_EQ(listed->devices[0].name, QStringLiteral("Booth 1"));
    // Five thousand machines of a few hundred bytes each must not hit the ordinary cap.
    EXPECT_GE(rig.http.requests().at(0).maxBodyBytes, 5000 * 1024);
    EXPECT_EQ(QCoro::waitFor(rig.api.machineDirectory()).error(),
              APIError::serverError(QStringLiteral("Machine directory decode failed: <html>gateway</html>")));
}

TEST(FleetAPIClient, AnUnusableBaseUrlIsInvalidURLWithoutARequest)
{
    FleetTestRig rig;
    FleetAPIClient broken(FleetAPIClient::Dependencies{rig.http, rig.settings, rig.secrets, rig.identity, {},
                                                       "not a url", {}, {}});
    EXPECT_EQ(QCoro::waitFor(broken.payloadList()).error(), APIError::invalidURL());
    EXPECT_EQ(APIError::invalidURL().message(), "Invalid URL");
    EXPECT_EQ(APIError::invalidResponse().message(), "Invalid server response");
    EXPECT_TRUE(rig.http.requests().empty());
}

TEST(FleetAPIClient, ReportsGoCompressedAndLeaveOffTheSerialTheirBodyCarries)
{
    PairedRig rig;
    TelemetryReport own;
    own.serial = rig.identity.hardwareSerial();
    own.runningApps.emplace();
    for (int i = 0; i < 6; ++i)
        own.runningApps->append(ReportedRunningApp{QStringLiteral("com.lumora.capture"), QStringLiteral("Capture"), i,
                                                  1.5, 210.3, true, QStringLiteral("3h 2m")});
    TelemetryReport other = own;
    other.serial = QStringLiteral("SOMEONE-ELSE");
    rig.http.expect("POST", "/api/device_telemetry", 200);
    rig.http.expect("POST", "/api/device_telemetry", 200);
    rig.http.expect("POST", "/api/device_command_result", 200);
    ASSERT_TRUE(QCoro::waitFor(rig.api.reportTelemetry(own)).ok());
    ASSERT_TRUE(QCoro::waitFor(rig.api.reportTelemetry(other)).ok());
    ASSERT_TRUE(QCoro::waitFor(rig.api.reportCommandResult(7, true, QStringLiteral("done"))).ok());

    const auto &sent = rig.http.requests();
    const QByteArray plain = QJsonDocument(own.toJson()).toJson(QJsonDocument::Compact);
    EXPECT_EQ(header(sent.at(0), "Content-Encoding"), "gzip");
    EXPECT_LT(sent.at(0).body.size(), plain.size() / 2);
    EXPECT_EQ(GzipBody::inflate(sent.at(0).body, 1 << 20).data, plain);
    EXPECT_EQ(header(sent.at(0), "X-Device-Serial"), std::nullopt);
    EXPECT_EQ(header(sent.at(1), "X-Device-Serial"), rig.identity.hardwareSerial().toUtf8())
        << "a body naming another machine does not stand for this one";
    EXPECT_EQ(header(sent.at(2), "X-Device-Serial"), rig.identity.hardwareSerial().toUtf8());
    EXPECT_EQ(header(sent.at(2), "Content-Encoding"), std::nullopt) << "a small body goes as it is";
    for (const HttpRequest &request : sent)
        EXPECT_EQ(header(request, "Accept-Encoding"), "gzip");
}

TEST(FleetAPIClient, CompressedAnswersAreInflatedWithinTheAnswerCap)
{
    PairedRig rig;
    const QByteArray notes = R"({"serial":"S1","notes":[]})";
    rig.http.expect("GET", "/api/device_notes", 200, GzipBody::compress(notes), {{"Content-Encoding", "gzip"}});
    // 8 MB of zeros are about 8 KB of gzip: over the 4 MiB answer cap once inflated.
    rig.http.expect("GET", "/api/device_notes", 200, GzipBody::compress(QByteArray(8 << 20, '\0')),
                    {{"Content-Encoding", "gzip"}});
    rig.http.expect("GET", "/api/device_notes", 200, "not gzip", {{"Content-Encoding", "gzip"}});

    const auto inflated = QCoro::waitFor(rig.api.machineNotes("S1"));
    ASSERT_TRUE(inflated.ok()) << inflated;
    const auto bomb = QCoro::waitFor(rig.api.machineNotes("S1"));
    ASSERT_FALSE(bomb.ok());
    EXPECT_TRUE(bomb.error().message().contains("inflates past")) << bomb.error().message().toStdString();
    const auto damaged = QCoro::waitFor(rig.api.machineNotes("S1"));
    ASSERT_FALSE(damaged.ok());
    EXPECT_TRUE(damaged.error().message().contains("damaged")) << damaged.error().message().toStdString();
}
