// Which keys a telemetry report carries under each combination of reporting switches.
#include "monitor/TelemetryPayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace vesk {
namespace {

const QDateTime kNow(QDate(2026, 3, 2), QTime(9, 30, 15, 600), QTimeZone::utc());

QSet<QString> keysOf(const QJsonObject &o)
{
    const QStringList keys = o.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

QSet<QString> set(std::initializer_list<const char *> keys)
{
    QSet<QString> out;
    for (const char *k : keys)
        out.insert(QString::fromLatin1(k));
    return out;
}

const QSet<QString> kAlways = set({"serial", "timestamp", "disk_total_gb", "disk_used_gb", "disk_free_gb",
                                   "ram_total_gb", "ram_used_gb", "cpu_usage", "cpu_cores", "uptime_seconds",
                                   "thermal_state", "os_version", "model", "primary_interface",
                                   "network_interfaces"});

class TelemetryPayloadTest : public ::testing::Test {
protected:
    TelemetryPayloadTest()
    {
        snapshot.diskTotal = 512LL << 30;
        snapshot.diskFree = 128LL << 30;
        snapshot.diskUsed = 384LL << 30;
        snapshot.ramTotal = 16ULL << 30;
        snapshot.ramUsed = 3ULL << 29;
        snapshot.cpuUsage = 12.5;
        snapshot.cpuCoreCount = 8;
        snapshot.uptimeSeconds = 7200.9;
        snapshot.thermalState = 2;
        snapshot.osVersion = QStringLiteral("12.0.0");
        snapshot.modelName = QStringLiteral("OptiPlex 7090");
        snapshot.primaryInterface = QStringLiteral("eth0");
        snapshot.localIP = QStringLiteral("192.168.1.20");
        snapshot.wifiSSID = QStringLiteral("Studio");
        snapshot.browserURL = QStringLiteral("https://example.com/");
        snapshot.networkMounts = {QStringLiteral("Captures")};
        snapshot.networkInterfaces = {{QStringLiteral("eth0"), QStringLiteral("Ethernet"),
                                       QStringLiteral("192.168.1.20"), true}};
        apps = {AppSnapshot{QStringLiteral("com.lumora.capture"), QStringLiteral("Lumora Capture"), 4242, 3.5, 120.25,
                            false, kNow.addSecs(-(2 * 3600 + 5 * 60))}};
        hung = {QStringLiteral("com.lumora.capture")};
    }

    QJsonObject build(TelemetrySwitches switches, double lastPolicySync = 0) const
    {
        return buildTelemetryReport(
                   TelemetryInputs{serial, kNow, snapshot, apps, hung, speed, lastPolicySync, switches})
            .toJson();
    }

    QString serial = QStringLiteral("C02XK1ZJHV2R");
    SystemSnapshot snapshot;
    QList<AppSnapshot> apps;
    QStringList hung;
    std::optional<SpeedTestResult> speed;
};

TEST_F(TelemetryPayloadTest, CarriesExactlyTheKeysItsSwitchesAllow)
{
    struct Case {
        const char *name;
        TelemetrySwitches switches;
        QSet<QString> extra;
    };
    const QSet<QString> appKeys = set({"hung_apps", "running_apps"});
    const QSet<QString> frontKeys = set({"foreground_app", "foreground_bundle_id"});
    const QSet<QString> sensitiveKeys = set({"browser_url", "local_ip", "wifi_ssid", "network_mounts"});
    const Case cases[] = {
        {"all off", {false, false, false}, {}},
        {"app state", {true, false, false}, appKeys},
        {"foreground", {false, true, false}, frontKeys},
        {"sensitive", {false, false, true}, sensitiveKeys},
        {"app state + foreground", {true, true, false}, appKeys + frontKeys},
        {"app state + sensitive", {true, false, true}, appKeys + sensitiveKeys},
        {"foreground + sensitive", {false, true, true}, frontKeys + sensitiveKeys},
        {"all on", {true, true, true}, appKeys + frontKeys + sensitiveKeys},
    };
    for (const Case &c : cases) {
        const QJsonObject payload = build(c.switches);
        EXPECT_EQ(keysOf(payload), kAlways + c.extra) << c.name;
        const QJsonObject iface = payload[QStringLiteral("network_interfaces")].toArray().first().toObject();
        EXPECT_EQ(iface.contains(QStringLiteral("ip_address")), c.switches.sensitive) << c.name;
    }
}

TEST_F(TelemetryPayloadTest, LeavesOutSensitiveValuesThatAreAbsent)
{
    snapshot.browserURL.reset();
    snapshot.wifiSSID.reset();
    snapshot.networkMounts.clear();
    snapshot.localIP.clear();
    const QJsonObject payload = build({false, false, true});
    EXPECT_EQ(keysOf(payload), kAlways + set({"local_ip"}));
    EXPECT_EQ(payload[QStringLiteral("local_ip")].toString(), QString());
}

TEST_F(TelemetryPayloadTest, BatteryKeysOnlyWithABattery)
{
    EXPECT_FALSE(build({}).contains(QStringLiteral("battery_level")));
    EXPECT_FALSE(build({}).contains(QStringLiteral("is_plugged_in")));

    snapshot.batteryLevel = 87;
    snapshot.isPluggedIn = false;
    const QJsonObject payload = build({});
    EXPECT_EQ(payload[QStringLiteral("battery_level")].toInt(-1), 87);
    EXPECT_EQ(payload[QStringLiteral("is_plugged_in")], QJsonValue(false));
}

TEST_F(TelemetryPayloadTest, WritesFiguresInTheirWireForm)
{
    speed = SpeedTestResult{93.456, 12.344, 18.006};
    const QJsonObject p = build({true, true, true}, 1772443800.0); // 2026-03-02T09:30:00Z

    EXPECT_EQ(p[QStringLiteral("timestamp")].toString(), QStringLiteral("2026-03-02T09:30:15Z"));
    EXPECT_DOUBLE_EQ(p[QStringLiteral("disk_total_gb")].toDouble(), 512);
    EXPECT_DOUBLE_EQ(p[QStringLiteral("disk_used_gb")].toDouble(), 384);
    EXPECT_DOUBLE_EQ(p[QStringLiteral("ram_used_gb")].toDouble(), 1.5);
    EXPECT_EQ(p[QStringLiteral("uptime_seconds")].toInteger(), 7200);
    EXPECT_EQ(p[QStringLiteral("thermal_state")].toString(), QStringLiteral("serious"));
    EXPECT_EQ(p[QStringLiteral("last_policy_sync")].toString(), QStringLiteral("2026-03-02T09:30:00Z"));
    EXPECT_DOUBLE_EQ(p[QStringLiteral("speed_download_mbps")].toDouble(), 93.46);
    EXPECT_DOUBLE_EQ(p[QStringLiteral("speed_upload_mbps")].toDouble(), 12.34);
    EXPECT_DOUBLE_EQ(p[QStringLiteral("speed_latency_ms")].toDouble(), 18.01);
    EXPECT_EQ(p[QStringLiteral("hung_apps")].toArray(), QJsonArray{QStringLiteral("com.lumora.capture")});

    const QJsonObject app = p[QStringLiteral("running_apps")].toArray().first().toObject();
    EXPECT_EQ(keysOf(app), set({"bundle_id", "name", "pid", "cpu_percent", "memory_mb", "is_responding", "uptime"}));
    EXPECT_EQ(app[QStringLiteral("pid")].toInt(), 4242);
    EXPECT_EQ(app[QStringLiteral("is_responding")], QJsonValue(false));
    EXPECT_EQ(app[QStringLiteral("uptime")].toString(), QStringLiteral("2h 5m"));
}

TEST_F(TelemetryPayloadTest, RoundsFiguresToWhatTheyMean)
{
    // Raw machine figures carry noise digits that cost bytes in every report.
    snapshot.diskTotal = 70449393664;   // 65.61111068725586 GiB
    snapshot.diskFree = 12345678901;    // 11.4977... GiB
    snapshot.diskUsed = 58103714763;    // 54.1143... GiB
    snapshot.ramTotal = 8253882368ULL;  // 7.6870... GiB
    snapshot.ramUsed = 5368709121ULL;   // 5.0000000009 GiB
    snapshot.cpuUsage = 37.46913580246914;
    apps.first().cpuPercent = 0.04999;
    apps.first().memoryMB = 812.3456;
    const QJsonObject p = build({true, false, false});
    const struct {
        const char *key;
        double want;
    } cases[] = {
        {"disk_total_gb", 65.61}, {"disk_free_gb", 11.5}, {"disk_used_gb", 54.11},
        {"ram_total_gb", 7.69},   {"ram_used_gb", 5},     {"cpu_usage", 37.5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(p[QLatin1String(c.key)].toDouble(), c.want) << c.key;
    const QJsonObject app = p[QStringLiteral("running_apps")].toArray().first().toObject();
    EXPECT_EQ(app[QStringLiteral("cpu_percent")].toDouble(), 0);
    EXPECT_EQ(app[QStringLiteral("memory_mb")].toDouble(), 812.3);
    EXPECT_TRUE(QJsonDocument(p).toJson(QJsonDocument::Compact).contains("\"disk_total_gb\":65.61,"))
        << "written with no digits beyond";
}

TEST_F(TelemetryPayloadTest, NamesEveryThermalState)
{
    const char *names[] = {"normal", "fair", "serious", "critical", "unknown"};
    for (int state = 0; state <= 4; ++state) {
        snapshot.thermalState = state;
        EXPECT_EQ(build({})[QStringLiteral("thermal_state")].toString(), QLatin1String(names[state])) << state;
    }
}

} // namespace
} // namespace vesk
