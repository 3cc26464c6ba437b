#include "AlertRig.h"
#include "LogCapture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace vesk::test {
namespace {

SystemSnapshot fullDisk()
{
    SystemSnapshot s = healthySnapshot();
    s.diskUsed = 475 * GB;
    s.diskFree = 25 * GB;
    return s;
}

WardenAlert networkAlert(const QString &title)
{
    return WardenAlert::make(AlertSeverity::warning, AlertCategory::network, title, "Share not answering", "C02XK1ABCD",
                             QDateTime());
}

TEST(AlertService, LastingConditionNotifiedPerWindowAndReportedHourlyOrOnSeverityChange)
{
    AlertRig rig;
    rig.useSingleSampleRule();
    rig.service.raise(networkAlert("Studio share unreachable"));
    SystemSnapshot sample = fullDisk();
    rig.service.start([&] { return HealthSample{sample, {}}; });
    const auto cycle = [&] { rig.clock.advance(rig.clock.nextWakeIn()); };

    rig.clock.advance(29s);
    EXPECT_TRUE(rig.api.reports.size() == 1) << "the first evaluation comes one interval after start";
    int cyclesWithDisk = 0;
    for (int n = 0; n < 12; ++n) { // 30 s ... 360 s
        cycle();
        const auto &active = rig.service.activeAlerts();
        cyclesWithDisk += std::count_if(active.cbegin(), active.cend(),
                                        [](const WardenAlert &a) { return a.key() == "disk_critical"; });
        EXPECT_EQ(active.size(), 2) << "the network alert survives evaluations";
    }
    EXPECT_EQ(cyclesWithDisk, 12);
    // Notified and recorded at 30 s and again at 330 s, the first cycle after the window; the
    // server heard of it once.
    EXPECT_EQ(rig.notifier.posted.size(), 3);
    EXPECT_EQ(rig.service.alertHistory().size(), 3);
    ASSERT_EQ(rig.api.reports.size(), 2);

    // Unchanged, it goes to the server again an hour after its report, not a cycle sooner.
    const QDateTime firstPost = rig.api.reports[1].timestamp.value();
    while (rig.clock.now().addSecs(30) < firstPost.addSecs(AlertService::repostSeconds))
        cycle();
    ASSERT_EQ(rig.api.reports.size(), 2);
    cycle();
    ASSERT_EQ(rig.api.reports.size(), 3);
    EXPECT_EQ(firstPost.secsTo(rig.api.reports[2].timestamp.value()), AlertService::repostSeconds);

    // A change of severity reaches the server at once, either way; the desktop hears of the
    // critical one again only after its window.
    sample.diskUsed = 425 * GB;
    cycle();
    sample = fullDisk();
    cycle();
    ASSERT_EQ(rig.api.reports.size(), 5);
    EXPECT_EQ(rig.api.reports[3].severity, "warning");
    EXPECT_EQ(rig.api.reports[4].severity, "critical");
    EXPECT_EQ(rig.notifier.titles().last(), "Disk Space Low");

    // Low-data mode stretches the evaluation interval to 300 s after the running sleep, and
    // the repeat to six hours.
    rig.defaults.setValue(FleetSettingsKeys::lowDataMode, true);
    cycle();
    EXPECT_EQ(rig.clock.nextWakeIn(), 300s);
    const QDateTime lastPost = rig.api.reports.last().timestamp.value();
    while (rig.clock.now().addSecs(300) < lastPost.addSecs(AlertService::lowDataRepostSeconds))
        cycle();
    EXPECT_EQ(rig.api.reports.size(), 5);
    cycle();
    ASSERT_EQ(rig.api.reports.size(), 6);
    EXPECT_GE(lastPost.secsTo(rig.api.reports[5].timestamp.value()), AlertService::lowDataRepostSeconds);
    rig.service.stop();
    EXPECT_EQ(rig.clock.sleeperCount(), 0u);
}

TEST(AlertService, ReportCarriesTheAlertAndFailuresAreLoggedOnly)
{
    AlertRig rig;
    rig.useSingleSampleRule();
    rig.settings.setTenantCode("lumora");
    LogCapture log;
    rig.api.failWith = "Server unavailable";
    rig.service.evaluate({fullDisk(), {}});
    ASSERT_EQ(rig.api.reports.size(), 1);
    const AlertReport &report = rig.api.reports[0];
    EXPECT_EQ(report.serial, "C02XK1ABCD");
    EXPECT_EQ(report.severity, "critical");
    EXPECT_EQ(report.category, "disk");
    EXPECT_EQ(report.title, "Disk Almost Full");
    EXPECT_EQ(report.timestamp, rig.clock.now());
    EXPECT_EQ(report.tenantCode, "lumora");
    EXPECT_EQ(log.messages("alerts").filter("Alert report failed: ").size(), 1);
    EXPECT_EQ(rig.service.alertHistory().size(), 1) << "a failed report stays recorded";

    const LocalNotification &shown = rig.notifier.posted.value(0);
    EXPECT_EQ(shown.identifier, rig.service.alertHistory()[0].id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(shown.categoryIdentifier, "WARDEN_ALERT");
    EXPECT_TRUE(shown.critical);
}

TEST(AlertService, BadThresholdsFallBackWithOneLogLine)
{
    AlertRig rig;
    LogCapture log;
    rig.defaults.setValue(AlertThresholdKeys::diskPercentCritical, "ninety");
    rig.defaults.setValue(AlertThresholdKeys::diskPercentWarning, 80);
    for (int i = 0; i < 3; ++i)
        rig.service.evaluate({fullDisk(), {}});
    EXPECT_EQ(rig.service.thresholds(), AlertThresholds{});
    EXPECT_EQ(log.count("out of range"), 1);
    EXPECT_EQ(rig.service.activeAlerts().value(0).title, "Disk Almost Full");
}

TEST(AlertService, ConditionAlertsAfterConsecutiveSamplesAndReportsItsClearing)
{
    // Samples, one per evaluation: '.' healthy, 'w' disk over 80 %, 'c' disk over 90 %,
    // 'h' the booth app hung. Each report as "severity category", "resolved category".
    struct Case {
        const char *name;
        QVariant samplesSetting; // invalid: unset
        const char *samples;
        QStringList want;
        int activeAtEnd;
    };
    const QList<Case> cases{
        {"default of three: two bad samples are nothing", {}, "ww", {}, 0},
        {"default of three: the third reports", {}, "www", {"warning disk"}, 1},
        {"a healthy sample restarts the count", {}, "ww.ww", {}, 0},
        {"the condition clears: resolved once", {}, "www..", {"warning disk", "info disk resolved"}, 0},
        {"a worse severity keeps the count", {}, "wwc", {"critical disk"}, 1},
        {"severity changes while it holds: no resolve", {}, "wwwc", {"warning disk", "critical disk"}, 1},
        {"after resolving it is news again", {}, "ccc.ccc",
         {"critical disk", "info disk resolved", "critical disk"}, 1},
        {"conditions count apart", {}, "wwhhh", {"critical app_hung"}, 1},
        {"one sample is the single-sample rule", 1, "w.w", {"warning disk", "info disk resolved", "warning disk"}, 1},
        {"text falls back to three", "three", "ww", {}, 0},
        {"zero falls back to three", 0, "www", {"warning disk"}, 1},
    };
    for (const Case &tc : cases) {
        AlertRig rig;
        if (tc.samplesSetting.isValid())
            rig.defaults.setValue(AlertThresholdKeys::consecutiveSamples, tc.samplesSetting);
        for (const char *c = tc.samples; *c; ++c) {
            SystemSnapshot sample = healthySnapshot();
            QList<AppSnapshot> apps;
            if (*c == 'w' || *c == 'c')
                sample.diskUsed = (*c == 'w' ? 425 : 475) * GB;
            if (*c == 'h')
                apps = {{"b", "Booth", 41, 0, 812.9, false, {}}};
            rig.service.evaluate({sample, apps});
            rig.clock.advance(30s);
        }
        QStringList got;
        for (const AlertReport &r : rig.api.reports)
            got << r.severity + ' ' + r.category + (r.resolved.value_or(false) ? " resolved" : "");
        EXPECT_EQ(got, tc.want) << tc.name;
        EXPECT_EQ(rig.service.activeAlerts().size(), tc.activeAtEnd) << tc.name;
    }
}

TEST(AlertService, OutboxKeepsUndeliveredReportsInOrderAcrossRestartAndDeliversEachOnce)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("storage/alert-outbox.json");
    {
        AlertRig down(file);
        down.api.unreachable = true;
        LogCapture log;
        for (const char *title : {"Share A unreachable", "Share B unreachable", "Share C unreachable"})
            down.service.raise(networkAlert(title));
        EXPECT_EQ(down.service.outbox().size(), 3);
        // Later ones wait behind the first; each evaluation tries the oldest again.
        down.service.evaluate({healthySnapshot(), {}});
        EXPECT_EQ(log.messages("alerts").filter("Alert report failed: ").size(), 2);
        QStringList tried;
        for (const AlertReport &r : std::as_const(down.api.reports))
            tried << r.title;
        EXPECT_EQ(tried, (QStringList{"Share A unreachable", "Share A unreachable"}));
    }
    ASSERT_TRUE(QFile::exists(file));

    // The next run delivers them as it starts, oldest first, and never again.
    AlertRig up(file);
    EXPECT_EQ(up.service.outbox().size(), 3);
    up.service.start([] { return HealthSample{healthySnapshot(), {}}; });
    QStringList delivered;
    for (const AlertReport &r : std::as_const(up.api.reports))
        delivered << r.title;
    EXPECT_EQ(delivered, (QStringList{"Share A unreachable", "Share B unreachable", "Share C unreachable"}));
    up.clock.advance(60s);
    up.service.raise(networkAlert("Share D unreachable"));
    EXPECT_EQ(up.api.reports.size(), 4);
    EXPECT_TRUE(up.service.outbox().isEmpty());
    EXPECT_TRUE(AlertRig(file).service.outbox().isEmpty()) << "the file agrees";

    // A refusal for good does not block the rest; a busy server does.
    up.api.failWith = "\"severity\" must be info, warning or critical (400)";
    up.service.raise(networkAlert("Refused"));
    EXPECT_TRUE(up.service.outbox().isEmpty());
    up.api.failWith = "more than 60 requests a minute for this machine (429)";
    up.service.raise(networkAlert("Busy"));
    EXPECT_EQ(up.service.outbox().size(), 1);
    up.api.failWith.clear();
    up.service.evaluate({healthySnapshot(), {}});
    EXPECT_TRUE(up.service.outbox().isEmpty());
    EXPECT_EQ(up.api.reports.last().title, "Busy");
}

TEST(AlertService, OutboxDropsTheOldestBeyondItsBound)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("alert-outbox.json");
    // A file left fuller than the bound (by an older build, say) is cut on reading.
    QJsonArray left;
    for (qsizetype i = 0; i < AlertOutbox::capacity + 5; ++i)
        left.append(AlertReport{"C02XK1ABCD", "info", "network", QString::number(i), "m", {}, {}, {}}.toJson());
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(left).toJson());
    out.close();
    {
        AlertRig down(file);
        down.api.unreachable = true;
        ASSERT_EQ(down.service.outbox().size(), AlertOutbox::capacity);
        down.service.raise(networkAlert("newest"));
    }
    AlertRig up(file);
    up.api.unreachable = true;
    ASSERT_EQ(up.service.outbox().size(), AlertOutbox::capacity);
    EXPECT_EQ(up.service.outbox().first().title, "6");
    up.service.evaluate({healthySnapshot(), {}});
    EXPECT_EQ(up.api.reports.value(0).title, "6");
}

TEST(AlertService, RaiseAndClearKeepOneAlertPerCategoryAndTitle)
{
    AlertRig rig;
    rig.service.raise(networkAlert("Studio share unreachable"));
    rig.service.raise(networkAlert("Studio share unreachable"));
    rig.service.raise(networkAlert("Archive share unreachable"));
    EXPECT_EQ(rig.service.activeAlerts().size(), 2);
    EXPECT_EQ(rig.service.alertHistory().size(), 2);
    EXPECT_EQ(rig.api.reports.size(), 2);

    rig.service.clear(AlertCategory::network, "Studio share unreachable");
    rig.service.clear(AlertCategory::disk, "Archive share unreachable"); // other category: stays
    ASSERT_EQ(rig.service.activeAlerts().size(), 1);
    EXPECT_EQ(rig.service.activeAlerts()[0].title, "Archive share unreachable");

    for (int i = 0; i < 60; ++i)
        rig.service.raise(networkAlert(QString::number(i)));
    ASSERT_EQ(rig.service.alertHistory().size(), AlertService::historyLimit);
    EXPECT_EQ(rig.service.alertHistory().first().title, "59");
    EXPECT_EQ(rig.service.alertHistory().last().title, "10");
}

FleetMachine machine(const QString &serial, const QString &name, double hoursAgo, const QDateTime &now,
                     const QString &eventCode = {})
{
    FleetMachine m;
    m.serial = serial;
    m.id = serial;
    m.name = name;
    m.eventCode = eventCode;
    m.lastSeen = now.addSecs(qint64(-hoursAgo * 3600)).toString(Qt::ISODate);
    return m;
}

TEST(AlertService, LocationRulesShapeNotificationsNotReports)
{
    AlertRig rig;
    rig.useSingleSampleRule();
    const QDateTime now = rig.clock.now();
    // The console's machine list tells which location this machine belongs to.
    rig.service.checkOfflineMachines({machine("C02XK1ABCD", "Booth 1", 0, now, "EVT1")}, 2.0);
    LocationNotificationRule rule{"EVT1", "Hall", std::nullopt, std::nullopt, {"disk"}};
    rig.settings.setLocationNotificationRules({rule});

    SystemSnapshot both = fullDisk();
    both.ramUsed = 15 * GB;
    rig.service.evaluate({both, {}});
    EXPECT_EQ(rig.notifier.titles(), QStringList{"High Memory Usage"}) << "disk disabled, memory allowed";
    EXPECT_EQ(rig.api.reports.size(), 2);

    rule.mutedDuration = SuppressionDuration::oneHour;
    rule.mutedAt = now;
    rig.settings.setLocationNotificationRules({rule});
    rig.clock.advance(301s);
    rig.service.evaluate({both, {}});
    EXPECT_EQ(rig.notifier.posted.size(), 1) << "a muted location notifies nothing";
    rig.clock.advance(3600s);
    rig.service.evaluate({both, {}});
    EXPECT_EQ(rig.notifier.titles().last(), "High Memory Usage") << "the mute ends after its hour";
}

TEST(AlertService, AgentModeAnnouncesOtherMachinesAlertsOneNotificationPerMachineAndKey)
{
    AlertRig rig;
    const auto push = [](const QString &serial, const QString &category, const QString &title) {
        return QJsonObject{{"type", "alert"},         {"alert_id", 7},  {"serial", serial},
                           {"severity", "critical"},  {"category", category}, {"title", title},
                           {"message", "Storage is 93% full"}};
    };
    rig.service.presentFleetAlert(push("C02BOOTH2", "disk", "Disk Almost Full"));
    EXPECT_TRUE(rig.notifier.posted.isEmpty()) << "Agent Mode off";

    rig.defaults.setValue(FleetSettingsKeys::agentMode, true);
    rig.service.presentFleetAlert(push("C02BOOTH2", "disk", "Disk Almost Full"));
    rig.service.presentFleetAlert(push("C02BOOTH2", "disk", "Disk Almost Full"));
    rig.service.presentFleetAlert(push("C02BOOTH3", "disk", "Disk Almost Full"));
    rig.service.presentFleetAlert(push("C02XK1ABCD", "disk", "Disk Almost Full")); // this machine's own
    rig.service.presentFleetAlert(QJsonObject{{"type", "command_pending"}});
    rig.service.presentFleetAlert(push("C02BOOTH2", "test", "Test Push Notification"));
    ASSERT_EQ(rig.notifier.posted.size(), 4);
    const LocalNotification &first = rig.notifier.posted[0];
    EXPECT_EQ(first.title, "Disk Almost Full");
    EXPECT_EQ(first.body, "Storage is 93% full");
    EXPECT_TRUE(first.critical);
    EXPECT_EQ(first.categoryIdentifier, "WARDEN_ALERT");
    // A repeat replaces its notification; another machine's stays beside it.
    EXPECT_EQ(rig.notifier.posted[1].group, first.group);
    EXPECT_NE(rig.notifier.posted[1].identifier, first.identifier);
    EXPECT_NE(rig.notifier.posted[2].group, first.group);
    EXPECT_EQ(rig.notifier.posted[3].title, "Test Push Notification");

    // The location rules apply as to local alerts.
    rig.service.checkOfflineMachines({machine("C02BOOTH2", "Booth 2", 0, rig.clock.now(), "EVT1")}, 2.0);
    rig.settings.setLocationNotificationRules({{"EVT1", "Hall", std::nullopt, std::nullopt, {"disk"}}});
    rig.service.presentFleetAlert(push("C02BOOTH2", "disk", "Disk Almost Full"));
    EXPECT_EQ(rig.notifier.posted.size(), 4) << "disk disabled at EVT1";
}

TEST(AlertService, OfflineMachinesWithSuppressionsAndRecovery)
{
    AlertRig rig;
    const QDateTime now = rig.clock.now();
    rig.settings.setSuppressedSerials({{"S-REC", SuppressionDuration::untilRecovery, now.addDays(-2)},
                                       {"S-IND", SuppressionDuration::indefinitely, now.addDays(-2)},
                                       {"S-OLD", SuppressionDuration::oneHour, now.addSecs(-3601)},
                                       {"S-HOUR", SuppressionDuration::oneHour, now.addSecs(-3600)}});
    QList<FleetMachine> fleet{machine("S-OK", "Booth 1", 1.5, now),     machine("S-WARN", "Booth 2", 3.2, now),
                              machine("S-CRIT", "Booth 3", 13, now),    machine("S-REC", "Booth 4", 20, now),
                              machine("S-IND", "Booth 5", 20, now),     machine("S-OLD", "Booth 6", 20, now),
                              machine("S-HOUR", "Booth 7", 20, now)};
    rig.service.checkOfflineMachines(fleet, 2.0);

    QStringList got;
    for (const WardenAlert &a : rig.service.activeAlerts())
        got << a.serial + ": " + a.key() + " | " + a.title + " | " + a.message;
    EXPECT_EQ(got, (QStringList{"S-WARN: offline_warning | Booth 2 — No Recent Data | Last seen 3 hours ago",
                                "S-CRIT: offline_critical | Booth 3 Offline | No contact for 13 hours",
                                "S-OLD: offline_critical | Booth 6 Offline | No contact for 20 hours"}));
    EXPECT_EQ(rig.api.reports.size(), 3);
    ASSERT_EQ(rig.notifier.posted.size(), 1);
    EXPECT_EQ(rig.notifier.posted[0].identifier, "offline_summary");
    EXPECT_EQ(rig.notifier.posted[0].title, "3 machines offline");
    EXPECT_EQ(rig.notifier.posted[0].body, "2 critical — Booth 2, Booth 3, Booth 6");
    QStringList kept;
    for (const AlertSuppression &s : rig.settings.suppressedSerials())
        kept << s.serial;
    EXPECT_EQ(kept, (QStringList{"S-REC", "S-IND", "S-HOUR"})) << "the expired timed mute is pruned";

    // Everyone reports again: offline alerts end, the until-recovery mute goes, the indefinite one stays.
    for (FleetMachine &m : fleet)
        m.lastSeen = now.toString(Qt::ISODate);
    rig.service.checkOfflineMachines(fleet, 2.0);
    EXPECT_TRUE(rig.service.activeAlerts().isEmpty());
    kept.clear();
    for (const AlertSuppression &s : rig.settings.suppressedSerials())
        kept << s.serial;
    EXPECT_EQ(kept, (QStringList{"S-IND", "S-HOUR"}));
}

TEST(AlertService, OfflineSummaryNamesFiveAndWaitsFourHoursPerMachine)
{
    AlertRig rig;
    const QDateTime now = rig.clock.now();
    QList<FleetMachine> fleet;
    for (int i = 1; i <= 6; ++i)
        fleet << machine(QString("S%1").arg(i), QString("Booth %1").arg(i), 3, now);
    rig.service.checkOfflineMachines(fleet, 2.0);
    ASSERT_EQ(rig.notifier.posted.size(), 1);
    EXPECT_EQ(rig.notifier.posted[0].body, "0 critical — Booth 1, Booth 2, Booth 3, Booth 4, Booth 5…");

    // An hour later the list shows them silent for 13 hours: escalated to critical and recorded
    // again, but each machine's notification waits four hours.
    rig.clock.advance(std::chrono::hours(1));
    for (FleetMachine &m : fleet)
        m.lastSeen = rig.clock.now().addSecs(-13 * 3600).toString(Qt::ISODate);
    rig.service.checkOfflineMachines(fleet, 2.0);
    EXPECT_EQ(rig.notifier.posted.size(), 1);
    EXPECT_EQ(rig.service.activeAlerts().size(), 6);
    EXPECT_EQ(rig.service.activeAlerts()[0].title, "Booth 1 Offline");
    EXPECT_EQ(rig.service.alertHistory().size(), 12);
    EXPECT_EQ(rig.api.reports.size(), 12);
    rig.clock.advance(std::chrono::hours(4));
    rig.service.checkOfflineMachines(fleet, 2.0);
    EXPECT_EQ(rig.notifier.posted.size(), 1) << "a machine that stays silent keeps its one alert";
    EXPECT_EQ(rig.service.alertHistory().size(), 12);
}

TEST(AlertService, PushTokenRegistration)
{
    AlertRig rig;
    LogCapture log;
    rig.service.setCachedPushToken("ABCDEF01");
    QCoro::waitFor(rig.service.registerPushToken());
    EXPECT_TRUE(rig.api.registrations.isEmpty()) << "no tenant: not paired";

    rig.settings.setTenantCode("lumora");
    rig.api.configured = false;
    QCoro::waitFor(rig.service.registerPushToken());
    EXPECT_TRUE(rig.api.registrations.isEmpty()) << "no fleet secret: not paired";

    rig.api.configured = true;
    QCoro::waitFor(rig.service.registerPushToken());
    ASSERT_EQ(rig.api.registrations.size(), 1);
    const PushTokenRegistration &first = rig.api.registrations[0];
    EXPECT_EQ(first.token, "abcdef01");
    EXPECT_EQ(first.alertScope, "photographer");
    EXPECT_FALSE(first.isAgent);
    EXPECT_EQ(first.tenantCode, "lumora");
    EXPECT_EQ(first.eventcode, std::nullopt);
    EXPECT_TRUE(rig.service.pushTokenRegistered());

    rig.defaults.setValue("warden_alert_scope", "location");
    rig.defaults.setValue("warden_eventcode", "EVT1");
    rig.defaults.setValue(FleetSettingsKeys::agentMode, true);
    rig.service.setPushTokenRegistered(false);
    rig.api.failWith = "Forbidden";
    QCoro::waitFor(rig.service.registerPushToken());
    ASSERT_EQ(rig.api.registrations.size(), 2);
    EXPECT_EQ(rig.api.registrations[1].alertScope, "location");
    EXPECT_EQ(rig.api.registrations[1].eventcode, "EVT1");
    EXPECT_TRUE(rig.api.registrations[1].isAgent);
    EXPECT_FALSE(rig.service.pushTokenRegistered());
    EXPECT_EQ(log.messages("alerts").filter("Push token registration failed: ").size(), 1);
}

} // namespace
} // namespace vesk::test
