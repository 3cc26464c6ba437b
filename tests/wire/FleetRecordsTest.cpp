#include "RecordCodecs.h"

#include "wire/AlertReport.h"
#include "wire/AnyCodable.h"
#include "wire/DeviceTelemetrySnapshot.h"
#include "wire/FleetAppStatus.h"
#include "wire/FleetCommand.h"
#include "wire/RemoteInstalledApp.h"
#include "wire/RemoteMessage.h"
#include "wire/RemotePayload.h"
#include "settings/ScheduledDeviceAction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>

using namespace vesk;
using vesk::test::parseObject;

void PrintTo(const QDateTime &date, std::ostream *out)
{
    *out << date.toString(Qt::ISODateWithMs).toStdString();
}

namespace {

const QByteArray minimalSnapshot = R"({"serial":"S1"})";

QJsonObject with(QJsonObject object, const QString &key, const QJsonValue &value)
{
    object.insert(key, value);
    return object;
}

} // namespace

TEST(FleetRecords, EverySampleDecodesAndEncodesBackToTheSameJson)
{
    for (const auto &codec : vesk::test::allRecordCodecs()) {
        const QJsonObject sample = parseObject(codec.sample);
        ASSERT_FALSE(sample.isEmpty()) << codec.name.toStdString() << ": sample is not JSON";
        QString error;
        const std::optional<QJsonObject> encoded = codec.decodeAndEncode(sample, &error);
        ASSERT_TRUE(encoded) << codec.name.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(*encoded, sample) << codec.name.toStdString() << " wrote "
                                    << QJsonDocument(*encoded).toJson().toStdString();
        EXPECT_TRUE(codec.roundTripsStably(sample)) << codec.name.toStdString();
    }
}

TEST(FleetRecords, AbsentAndNullOptionalsAreLeftOutWhenEncoding)
{
    const QJsonObject sparse = parseObject(R"({"app":"Vesk Print","status":"online","consecutive_misses":2,
                                                "app_version":null,"telemetry":null})");
    const std::optional<FleetAppStatus> status = FleetAppStatus::fromJson(sparse, nullptr);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->toJson(), parseObject(R"({"app":"Vesk Print","status":"online","consecutive_misses":2})"));
}

TEST(FleetRecords, AnyCodableTriesStringIntegerDoubleBooleanAndFallsBackToEmptyText)
{
    struct Case {
        const char *name;
        QJsonValue json;
        AnyCodable want;
        QByteArray wantEncoded;
    };
    const std::vector<Case> cases = {
        {"string", QJsonValue(QStringLiteral("5")), AnyCodable(QStringLiteral("5")), R"(["5"])"},
        {"integer", QJsonValue(qint64(42)), AnyCodable(qint64(42)), "[42]"},
        {"whole double reads as integer", QJsonValue(3.0), AnyCodable(qint64(3)), "[3]"},
        {"fraction", QJsonValue(2.5), AnyCodable(2.5), "[2.5]"},
        {"beyond 64 bits stays a double", QJsonValue(1e300), AnyCodable(1e300), "[1e+300]"},
        {"negative", QJsonValue(qint64(-7)), AnyCodable(qint64(-7)), "[-7]"},
        {"boolean", QJsonValue(true), AnyCodable(true), "[true]"},
        {"null", QJsonValue(QJsonValue::Null), AnyCodable(QString()), R"([""])"},
        {"array", QJsonArray{1, 2}, AnyCodable(QString()), R"([""])"},
        {"object", QJsonObject{{"a", 1}}, AnyCodable(QString()), R"([""])"},
    };
    for (const Case &tc : cases) {
        const AnyCodable got = AnyCodable::fromJsonValue(tc.json);
        EXPECT_EQ(got, tc.want) << tc.name;
        EXPECT_EQ(QJsonDocument(QJsonArray{got.toJsonValue()}).toJson(QJsonDocument::Compact), tc.wantEncoded)
            << tc.name;
    }
}

TEST(FleetRecords, CommandParamsKeepEachScalarsTypeAndBlankAnArray)
{
    const auto command = FleetCommand::fromJson(
        parseObject(R"({"id":5,"command":"show_message","params":{"n":3,"b":true,"s":"hi","a":[1,2]}})"), nullptr);
    ASSERT_TRUE(command && command->params);
    EXPECT_EQ(command->params->value("n").integer(), 3);
    EXPECT_EQ(command->params->value("b").boolean(), true);
    EXPECT_EQ(command->params->value("s").string(), QStringLiteral("hi"));
    EXPECT_EQ(command->params->value("a").string(), QString());
}

TEST(FleetRecords, DecodeFailuresNameTheRecordAndTheKey)
{
    struct Case {
        const char *name;
        std::function<bool(QString *)> decode;
        QString wantError;
    };
    const QJsonObject command = parseObject(R"({"id":1,"command":"restart"})");
    const QJsonObject status = parseObject(R"({"app":"Vesk Print","status":"online","consecutive_misses":0})");
    const QJsonObject payload = parseObject(
        R"({"id":1,"photographer":"p","name":"n","filename":"f","sha256":"h","target_path":"/t",
            "relaunch_bundle_ids":[],"size_bytes":1})");
    auto decodes = [](auto decoder, QJsonValue json) {
        return [decoder, json](QString *error) { return decoder(json, error).has_value(); };
    };
    const std::vector<Case> cases = {
        {"not an object", decodes(FleetCommand::fromJson, QJsonArray{}), "FleetCommand: expected an object"},
        {"id as text", decodes(FleetCommand::fromJson, with(command, "id", "7")), "FleetCommand.id: expected an integer"},
        {"id with a fraction", decodes(FleetCommand::fromJson, with(command, "id", 7.5)),
         "FleetCommand.id: expected an integer"},
        {"id beyond 64 bits", decodes(FleetCommand::fromJson, with(command, "id", 1e19)),
         "FleetCommand.id: expected an integer"},
        {"id null", decodes(FleetCommand::fromJson, with(command, "id", QJsonValue::Null)), "FleetCommand.id: missing"},
        {"params as an array", decodes(FleetCommand::fromJson, with(command, "params", QJsonArray{1})),
         "FleetCommand.params: expected an object"},
        {"list element", decodes(FleetPendingCommands::fromJson, QJsonObject{{"serial", "S"}, {"commands", QJsonArray{command, QJsonObject{{"command", "x"}}}}}),
         "FleetPendingCommands.commands[1]: FleetCommand.id: missing"},
        {"app status without misses", decodes(FleetAppStatus::fromJson, [&] { QJsonObject o = status; o.remove("consecutive_misses"); return o; }()),
         "FleetAppStatus.consecutive_misses: missing"},
        {"misses as text is not tolerated", decodes(FleetAppStatus::fromJson, with(status, "consecutive_misses", "2")),
         "FleetAppStatus.consecutive_misses: expected an integer"},
        {"nested snapshot", decodes(FleetAppStatus::fromJson, with(status, "telemetry", QJsonObject{{"cpu_usage", 1}})),
         "FleetAppStatus.telemetry: DeviceTelemetrySnapshot.serial: missing"},
        {"text member of the wrong type", decodes(DeviceTelemetrySnapshot::fromJson, QJsonObject{{"serial", "S"}, {"thermal_state", 2}}),
         "DeviceTelemetrySnapshot.thermal_state: expected a string"},
        {"bundle list with a number", decodes(RemotePayload::fromJson, with(payload, "relaunch_bundle_ids", QJsonArray{"a", 1})),
         "RemotePayload.relaunch_bundle_ids: expected an array of strings"},
        {"date as text", decodes(ScheduledDeviceAction::fromJson, QJsonObject{{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}, {"command", "restart"}, {"at", "2026-03-02"}}),
         "ScheduledDeviceAction.at: expected a date (seconds since 2001-01-01)"},
        {"date beyond the calendar", decodes(RemoteMessage::fromJson, QJsonObject{{"commandId", 1}, {"message", "m"}, {"dismissable", true}, {"receivedAt", 1e300}}),
         "RemoteMessage.receivedAt: expected a date (seconds since 2001-01-01)"},
        {"date not ISO 8601", decodes(AlertReport::fromJson, QJsonObject{{"serial", "S"}, {"severity", "info"}, {"category", "disk"}, {"title", ""}, {"message", ""}, {"timestamp", 794134800}}),
         "AlertReport.timestamp: expected an ISO 8601 date"},
        {"not a UUID", decodes(ScheduledDeviceAction::fromJson, QJsonObject{{"id", "E621E1F8"}, {"command", "restart"}, {"at", 0}}),
         "ScheduledDeviceAction.id: expected a UUID"},
    };
    for (const Case &tc : cases) {
        QString error;
        EXPECT_FALSE(tc.decode(&error)) << tc.name;
        EXPECT_EQ(error, tc.wantError) << tc.name;
    }
}

TEST(FleetRecords, TelemetryNumbersAcceptTextAndReadAnythingElseAsAbsent)
{
    struct Case {
        const char *name;
        QString key;
        QJsonValue value;
        std::function<bool(const DeviceTelemetrySnapshot &)> holds;
    };
    const std::vector<Case> cases = {
        {"decimal text", "cpu_usage", "42.5", [](const auto &s) { return s.cpuUsage == 42.5; }},
        {"text that is no number", "cpu_usage", "busy", [](const auto &s) { return !s.cpuUsage; }},
        {"boolean", "cpu_usage", true, [](const auto &s) { return !s.cpuUsage; }},
        {"array", "disk_free_gb", QJsonArray{1}, [](const auto &s) { return !s.diskFreeGb; }},
        {"integer for a number", "ram_total_gb", 16, [](const auto &s) { return s.ramTotalGb == 16.0; }},
        {"infinite text", "ram_used_gb", "inf", [](const auto &s) { return !s.ramUsedGb; }},
        {"signed integer text", "battery_level", "-3", [](const auto &s) { return s.batteryLevel == -3; }},
        {"plus-signed integer text", "cpu_cores", "+8", [](const auto &s) { return s.cpuCores == 8; }},
        {"decimal text for an integer", "cpu_cores", "8.5", [](const auto &s) { return !s.cpuCores; }},
        {"whole double for an integer", "uptime_seconds", 3600.0, [](const auto &s) { return s.uptimeSeconds == 3600; }},
        {"fraction for an integer", "uptime_seconds", 1.5, [](const auto &s) { return !s.uptimeSeconds; }},
        {"integer beyond 64 bits", "uptime_seconds", 1e30, [](const auto &s) { return !s.uptimeSeconds; }},
        {"integer text beyond 64 bits", "uptime_seconds", "99999999999999999999", [](const auto &s) { return !s.uptimeSeconds; }},
        {"flag as text", "is_plugged_in", "1", [](const auto &s) { return s.isPluggedIn == 1; }},
    };
    for (const Case &tc : cases) {
        QString error;
        const auto snapshot = DeviceTelemetrySnapshot::fromJson(with(parseObject(minimalSnapshot), tc.key, tc.value), &error);
        ASSERT_TRUE(snapshot) << tc.name << ": " << error.toStdString();
        EXPECT_TRUE(tc.holds(*snapshot)) << tc.name;
    }
}

TEST(FleetRecords, TelemetryListsAreParsedFromTheirJsonText)
{
    struct Case {
        const char *name;
        QString key;
        QString text;
        std::function<bool(const DeviceTelemetrySnapshot &)> holds;
    };
    const std::vector<Case> cases = {
        {"two hung apps", "hung_apps", R"(["Vesk Print","Vesk Kiosk"])",
         [](const auto &s) { return s.decodedHungApps == QStringList{"Vesk Print", "Vesk Kiosk"}; }},
        {"hung apps not JSON", "hung_apps", "Vesk Print", [](const auto &s) { return !s.decodedHungApps; }},
        {"running apps of the wrong element type", "running_apps", "[1,2]", [](const auto &s) { return !s.decodedRunningApps; }},
        {"empty running apps", "running_apps", "[]", [](const auto &s) { return s.decodedRunningApps == QStringList(); }},
        {"mounts as an object", "network_mounts", R"({"a":1})", [](const auto &s) { return !s.decodedNetworkMounts; }},
        {"interfaces", "network_interfaces", R"([{"name":"en0","type":"ethernet","ip_address":"10.0.0.2","is_active":true}])",
         [](const auto &s) {
             return s.decodedNetworkInterfaces
                 == QList<DecodedNetworkInterface>{{"en0", "ethernet", "10.0.0.2", true}};
         }},
        {"interface missing a member", "network_interfaces", R"([{"name":"en0","type":"ethernet","is_active":true}])",
         [](const auto &s) { return !s.decodedNetworkInterfaces; }},
        {"nesting beyond the parser's limit", "hung_apps", QString(5000, '[') + QString(5000, ']'),
         [](const auto &s) { return !s.decodedHungApps; }},
    };
    for (const Case &tc : cases) {
        const auto snapshot = DeviceTelemetrySnapshot::fromJson(with(parseObject(minimalSnapshot), tc.key, tc.text), nullptr);
        ASSERT_TRUE(snapshot) << tc.name;
        EXPECT_TRUE(tc.holds(*snapshot)) << tc.name;
        EXPECT_EQ(snapshot->toJson().value(tc.key).toString(), tc.text) << tc.name << ": the text itself is kept";
    }
    const auto bare = DeviceTelemetrySnapshot::fromJson(parseObject(minimalSnapshot), nullptr);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->decodedHungApps || bare->decodedRunningApps || bare->decodedNetworkInterfaces
                 || bare->decodedNetworkMounts);
}

TEST(FleetRecords, InstalledAppFlagsAndSizeAreLenient)
{
    struct Case {
        const char *name;
        QJsonValue isRunning;
        std::optional<bool> want;
    };
    const std::vector<Case> cases = {
        {"integer one", 1, true},      {"integer zero", 0, false},     {"integer two", 2, true},
        {"boolean", false, false},     {"text true", "true", true},    {"text YES", "YES", true},
        {"text 0", "0", false},        {"text no", "no", false},       {"other text", "maybe", std::nullopt},
        {"array", QJsonArray{}, std::nullopt}, {"null", QJsonValue::Null, std::nullopt},
    };
    const QJsonObject base = parseObject(R"({"bundle_id":"com.lumora.print","file_size_mb":"182.5"})");
    for (const Case &tc : cases) {
        const auto app = RemoteInstalledApp::fromJson(with(base, "is_running", tc.isRunning), nullptr);
        ASSERT_TRUE(app) << tc.name;
        EXPECT_EQ(app->isRunning, tc.want) << tc.name;
        EXPECT_EQ(app->fileSizeMb, 182.5) << tc.name;
    }
}

TEST(FleetRecords, StoredDatesAreSecondsSince2001)
{
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    struct Case {
        const char *name;
        QJsonValue seconds;
        QDateTime want;
    };
    const std::vector<Case> cases = {
        {"the reference moment", 0, reference},
        {"a day later, with milliseconds", 86400.25, reference.addMSecs(86400250)},
        {"a leap year before the reference", -31622400, QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc())},
        {"a recent moment", 794134800, QDateTime(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc())},
    };
    for (const Case &tc : cases) {
        const QJsonObject json{{"commandId", 1}, {"message", "m"}, {"dismissable", false}, {"receivedAt", tc.seconds}};
        const auto message = RemoteMessage::fromJson(json, nullptr);
        ASSERT_TRUE(message) << tc.name;
        EXPECT_EQ(message->receivedAt, tc.want) << tc.name;
        EXPECT_EQ(message->toJson().value("receivedAt").toDouble(), tc.seconds.toDouble()) << tc.name;
    }
}

TEST(FleetRecords, IsoDatesAreWrittenInUtcToWholeSeconds)
{
    struct Case {
        const char *name;
        QString sent;
        QString want;
    };
    const std::vector<Case> cases = {
        {"already in its wire form", "2026-03-02T09:30:15Z", "2026-03-02T09:30:15Z"},
        {"an offset moves to UTC", "2026-03-02T10:30:15+01:00", "2026-03-02T09:30:15Z"},
        {"milliseconds are dropped, not rounded", "2026-03-02T09:30:15.750Z", "2026-03-02T09:30:15Z"},
        {"across midnight", "2026-03-01T23:30:00-01:00", "2026-03-02T00:30:00Z"},
    };
    const QJsonObject base{{"serial", "S"}, {"severity", "info"}, {"category", "disk"}, {"title", ""}, {"message", ""}};
    for (const Case &tc : cases) {
        const auto alert = AlertReport::fromJson(with(base, "timestamp", tc.sent), nullptr);
        ASSERT_TRUE(alert && alert->timestamp) << tc.name;
        EXPECT_EQ(alert->toJson().value("timestamp").toString(), tc.want) << tc.name;
        EXPECT_EQ(AlertReport::fromJson(alert->toJson(), nullptr), alert) << tc.name << ": stable once written";
    }
}

TEST(FleetRecords, ScheduledActionIdsAreWrittenInUpperCaseAndReadInEitherCase)
{
    const QJsonObject lower{{"id", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}, {"command", "restart"}, {"at", 10}};
    const auto action = ScheduledDeviceAction::fromJson(lower, nullptr);
    ASSERT_TRUE(action);
    EXPECT_EQ(action->id, QUuid("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"));
    EXPECT_EQ(action->toJson().value("id").toString(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_FALSE(action->toJson().contains("bundleId"));
}
