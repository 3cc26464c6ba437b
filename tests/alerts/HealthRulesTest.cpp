#include "AlertRig.h"

#include "alerts/HealthRules.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

const QDateTime kNow(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());

QStringList describe(const QList<WardenAlert> &alerts)
{
    QStringList out;
    for (const WardenAlert &a : alerts)
        out << a.key() + QStringLiteral(" | ") + a.title + QStringLiteral(" | ") + a.message;
    return out;
}

TEST(HealthRules, EachThresholdAndItsTexts)
{
    struct Case {
        const char *name;
        std::function<void(SystemSnapshot &, QList<AppSnapshot> &)> change;
        QStringList want;
    };
    const QList<Case> cases{
        {"healthy machine", [](SystemSnapshot &, QList<AppSnapshot> &) {}, {}},
        {"disk above 90 % is critical",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.diskTotal = qint64(465.6 * GB);
             s.diskFree = qint64(33.8 * GB);
             s.diskUsed = s.diskTotal - s.diskFree;
         },
         {"disk_critical | Disk Almost Full | Storage is 92% full (33.8 GB free of 465.6 GB)"}},
        {"disk at exactly 90 % is only the warning",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.diskTotal = 1000 * GB;
             s.diskUsed = 900 * GB;
             s.diskFree = 100 * GB;
         },
         {"disk_warning | Disk Space Low | Storage is 90% full (100.0 GB free)"}},
        {"disk at exactly 80 % is nothing",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.diskTotal = 1000 * GB;
             s.diskUsed = 800 * GB;
         },
         {}},
        {"zero totals are no disk or memory alert",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.diskTotal = 0;
             s.ramTotal = 0;
         },
         {}},
        {"RAM above 95 % is only the critical alert",
         [](SystemSnapshot &s, QList<AppSnapshot> &) { s.ramUsed = quint64(15.5 * GB); },
         {"memory_critical | Sustained Memory Usage 96% | RAM pressure is critical — 15.5 GB of 16.0 GB used"}},
        {"RAM above 85 % is the warning",
         [](SystemSnapshot &s, QList<AppSnapshot> &) { s.ramUsed = 14 * GB; },
         {"memory_warning | High Memory Usage | RAM at 87% — 14.0 GB of 16.0 GB"}},
        {"CPU above 90 %", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.cpuUsage = 97.8; },
         {"cpu_warning | High CPU Usage | CPU at 97% across 8 cores"}},
        {"CPU alert names the three busiest apps",
         [](SystemSnapshot &s, QList<AppSnapshot> &apps) {
             s.cpuUsage = 95;
             apps = {{"k", "Kiosk", 40, 3.2, 90, true, {}},   {"c", "Capture", 41, 61.7, 700, true, {}},
                     {"p", "Print", 42, 22.1, 300, true, {}}, {"b", "Booth", 43, 5, 2900.4, true, {}}};
         },
         {"cpu_warning | High CPU Usage | CPU at 95% across 8 cores — top: Capture 61%, Print 22%, Booth 5%"}},
        {"memory alerts name the three largest apps",
         [](SystemSnapshot &s, QList<AppSnapshot> &apps) {
             s.ramUsed = 14 * GB;
             apps = {{"k", "Kiosk", 40, 3.2, 90, true, {}}, {"b", "Booth", 43, 5, 2900.4, true, {}}};
         },
         {"memory_warning | High Memory Usage | RAM at 87% — 14.0 GB of 16.0 GB — top: Booth 2900 MB, Kiosk 90 MB"}},
        {"CPU at exactly 90 % is nothing", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.cpuUsage = 90; }, {}},
        {"thermal serious", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.thermalState = 2; },
         {"thermal_warning | Serious Thermal Warning | Machine is running hot — performance may be reduced"}},
        {"thermal critical", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.thermalState = 3; },
         {"thermal_critical | Critical Thermal State | Machine is thermal throttling — performance severely degraded"}},
        {"hung apps in list order, responding ones skipped",
         [](SystemSnapshot &, QList<AppSnapshot> &apps) {
             apps = {{"b", "Booth", 41, 0, 812.9, false, {}}, {"k", "Kiosk", 42, 0, 10, true, {}},
                     {"p", "Print", 43, 0, 99.5, false, {}}};
         },
         {"app_hung_critical | Booth Not Responding | Booth (PID 41) is hung — using 812MB RAM",
          "app_hung_critical | Print Not Responding | Print (PID 43) is hung — using 99MB RAM"}},
        {"seven days and an hour of uptime", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.uptimeSeconds = 7 * 86400 + 3600; },
         {"uptime_info | Extended Uptime | Machine has been running for 7 days without a restart"}},
        {"6.99 days of uptime is nothing",
         [](SystemSnapshot &s, QList<AppSnapshot> &) { s.uptimeSeconds = 6.99 * 86400; }, {}},
        {"battery 9 % on battery power",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.batteryLevel = 9;
             s.isPluggedIn = false;
         },
         {"battery_critical | Battery Critical | Battery at 9% and not plugged in"}},
        {"battery 9 % plugged in",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.batteryLevel = 9;
             s.isPluggedIn = true;
         },
         {}},
        {"battery 10 %",
         [](SystemSnapshot &s, QList<AppSnapshot> &) {
             s.batteryLevel = 10;
             s.isPluggedIn = false;
         },
         {}},
        {"battery level without a power state", [](SystemSnapshot &s, QList<AppSnapshot> &) { s.batteryLevel = 3; }, {}},
    };
    for (const Case &tc : cases) {
        SystemSnapshot snapshot = healthySnapshot();
        QList<AppSnapshot> apps;
        tc.change(snapshot, apps);
        const QList<WardenAlert> alerts = healthAlerts(snapshot, apps, AlertThresholds{}, "C02X", kNow);
        EXPECT_EQ(describe(alerts), tc.want) << tc.name;
        for (const WardenAlert &alert : alerts) {
            EXPECT_EQ(alert.serial, "C02X") << tc.name;
            EXPECT_EQ(alert.timestamp, kNow) << tc.name;
        }
    }
}

TEST(HealthRules, SwitchedOffChecksStaySilent)
{
    SystemSnapshot snapshot = healthySnapshot();
    snapshot.thermalState = 3;
    AlertThresholds thresholds;
    thresholds.thermalSerious = false;
    thresholds.hungAppDetection = false;
    EXPECT_TRUE(healthAlerts(snapshot, {{"b", "Booth", 41, 0, 1, false, {}}}, thresholds, "C02X", kNow).isEmpty());
}

TEST(AlertThresholds, StoredValuesOverDefaultsAndBadOnesRejected)
{
    struct Case {
        const char *name;
        QVariantMap stored;
        AlertThresholds want;
        QStringList invalid;
    };
    AlertThresholds moved;
    moved.diskPercentCritical = 0.5;
    moved.cpuSustainedPercent = 75;
    moved.thermalSerious = false;
    moved.uptimeDaysWarning = 30;
    const QList<Case> cases{
        {"nothing stored", {}, AlertThresholds{}, {}},
        {"numbers as settings files keep them (text) and as numbers",
         {{AlertThresholdKeys::diskPercentCritical, "0.5"},
          {AlertThresholdKeys::cpuSustainedPercent, 75},
          {AlertThresholdKeys::thermalSerious, "false"},
          {AlertThresholdKeys::uptimeDaysWarning, "30"}},
         moved,
         {}},
        {"negative, above 100 %, text, fractional days and a non-boolean switch keep the defaults",
         {{AlertThresholdKeys::diskPercentWarning, -0.1},
          {AlertThresholdKeys::ramPercentCritical, 1.5},
          {AlertThresholdKeys::cpuSustainedPercent, 101},
          {AlertThresholdKeys::ramPercentWarning, "high"},
          {AlertThresholdKeys::uptimeDaysWarning, 2.5},
          {AlertThresholdKeys::hungAppDetection, "maybe"}},
         AlertThresholds{},
         {AlertThresholdKeys::diskPercentWarning, AlertThresholdKeys::ramPercentCritical,
          AlertThresholdKeys::ramPercentWarning, AlertThresholdKeys::cpuSustainedPercent,
          AlertThresholdKeys::hungAppDetection, AlertThresholdKeys::uptimeDaysWarning}},
    };
    for (const Case &tc : cases) {
        MemoryDefaultsStore defaults;
        for (auto it = tc.stored.cbegin(); it != tc.stored.cend(); ++it)
            defaults.setValue(it.key(), it.value());
        QStringList invalid;
        EXPECT_EQ(AlertThresholds::fromDefaults(defaults, &invalid), tc.want) << tc.name;
        EXPECT_EQ(invalid, tc.invalid) << tc.name;
    }
}

} // namespace
} // namespace vesk::test
