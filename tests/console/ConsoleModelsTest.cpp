// The console's view models over a scripted fleet: which screens the sidebar lists, how the
// machine list filters and follows a vanished machine, the machine detail's telemetry and
// command texts, the batch sheet, the alert tabs' empty states, the dashboard's lines, the
// policy editor's refusals and the Policy Manager's list, save, delete and lock, and the
// software screens: installed apps, updates with their installs, the app selector and a fleet
// machine's Software tab.
#include "ScriptedConsoleFleet.h"

#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"
#include "commands/PinnedVersions.h"
#include "commands/UpdateCommands.h"
#include "console/AlertsModel.h"
#include "console/AppChooser.h"
#include "console/BatchCommandModel.h"
#include "console/ConsoleScreens.h"
#include "console/DashboardView.h"
#include "console/InstalledAppsModel.h"
#include "console/MachineDetailModel.h"
#include "console/MachineDirectory.h"
#include "console/MachineSoftwareModel.h"
#include "console/PolicyDraftCheck.h"
#include "console/PolicyManagerModel.h"
#include "console/PolicySummary.h"
#include "console/PollingTexts.h"
#include "console/SoftwareUpdatesModel.h"
#include "local/AppLock.h"
#include "console/TelemetrySeries.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vesk;
using test::machine;
using test::ScriptedConsoleFleet;

namespace {

const QList<ConsoleScreen> kAllScreens = [] {
    QList<ConsoleScreen> all;
    for (const ScreenInfo &info : consoleScreens())
        all.append(info.screen);
    return all;
}();

QStringList titles(const QList<ConsoleScreen> &screens)
{
    QStringList out;
    for (ConsoleScreen screen : screens)
        out.append(screenInfo(screen).title);
    return out;
}

QStringList visibleSerials(MachineFilterModel &model)
{
    QStringList serials;
    for (int row = 0; row < model.rowCount(); ++row)
        serials.append(model.index(row, 0).data(MachineListModel::SerialRole).toString());
    return serials;
}

DeviceTelemetrySnapshot sample(const char *at, double cpu)
{
    DeviceTelemetrySnapshot s;
    s.createdAt = QString::fromLatin1(at);
    s.cpuUsage = cpu;
    s.ramUsedGb = 4;
    s.ramTotalGb = 16;
    s.diskUsedGb = 100;
    s.diskTotalGb = 500;
    return s;
}

} // namespace

TEST(ConsoleSidebar, VisibilityKeysAndTheLockDecideWhichScreensAreListed)
{
    const QStringList always{"Dashboard", "Alerts", "Settings"};
    struct Case {
        const char *name;
        QVariantMap stored;
        bool locked;
        QList<ConsoleScreen> built;
        QStringList want;
    } cases[] = {
        {"every screen by default", {}, false, kAllScreens, titles(kAllScreens)},
        {"every key off still leaves the three",
         {{"workflow_showSoftware", false}, {"workflow_showUpdates", false}, {"workflow_showInstalledApps", false},
          {"workflow_showPolicies", false}, {"workflow_showPolicyManager", false},
          {"workflow_showEnforcementLog", false}, {"workflow_showFolderCleanup", false},
          {"workflow_showNetworkShares", false}, {"workflow_showFleetManagement", false}},
         false, kAllScreens, always},
        {"the software switch hides both software screens",
         {{"workflow_showSoftware", false}},
         false, kAllScreens,
         {"Dashboard", "Alerts", "Policies", "Policy Manager", "Enforcement Log", "Folder Cleanup", "Network Shares",
          "Fleet Management", "Settings"}},
        {"one key hides one screen",
         {{"workflow_showPolicyManager", "false"}},
         false, kAllScreens,
         {"Dashboard", "Alerts", "Software Updates", "Installed Apps", "Policies", "Enforcement Log", "Folder Cleanup",
          "Network Shares", "Fleet Management", "Settings"}},
        {"the lock hides every management screen", {}, true, kAllScreens, always},
        {"screens not built are never listed", {}, false,
         {ConsoleScreen::dashboard, ConsoleScreen::policies, ConsoleScreen::settings},
         {"Dashboard", "Policies", "Settings"}},
    };
    for (const Case &tc : cases) {
        test::MemoryDefaultsStore defaults;
        for (auto it = tc.stored.cbegin(); it != tc.stored.cend(); ++it)
            defaults.setValue(it.key(), it.value());
        EXPECT_EQ(titles(visibleScreens(defaults, tc.locked, tc.built)), tc.want) << tc.name;
    }
}

TEST(ConsoleMachineList, SearchMatchesNameOrSerialAndFocusNeverHidesASearchResult)
{
    MachineListModel list(QStringLiteral("C02-HERE"));
    list.setMachines({machine("C02-B10", "Booth 10"), machine("C02-B2", "Booth 2"), machine("C02-HERE", "Front Desk"),
                      machine("X99-KIOSK", "Kiosk"), machine("C02-PRN", "Print Station")});
    MachineFilterModel filtered(list);
    struct Case {
        const char *name;
        QString search;
        bool focus;
        QStringList want;
        QString emptyText;
    } cases[] = {
        {"all, this Mac first, numbers sorted as numbers", "", false,
         {"C02-HERE", "C02-B2", "C02-B10", "X99-KIOSK", "C02-PRN"}, ""},
        {"name, any case", "booth", false, {"C02-B2", "C02-B10"}, ""},
        {"serial", "x99", false, {"X99-KIOSK"}, ""},
        {"focus lists only this Mac", "", true, {"C02-HERE"}, ""},
        {"a search under focus looks at every machine", "print", true, {"C02-PRN"}, ""},
        {"no match says so with the text", "zebra", false, {}, "No machines match \"zebra\""},
        {"blank search is no search", "   ", false, {"C02-HERE", "C02-B2", "C02-B10", "X99-KIOSK", "C02-PRN"}, ""},
    };
    for (const Case &tc : cases) {
        filtered.setFocusThisMac(tc.focus);
        filtered.setSearchText(tc.search);
        EXPECT_EQ(visibleSerials(filtered), tc.want) << tc.name;
        EXPECT_EQ(filtered.emptyText(), tc.emptyText) << tc.name;
    }
}

TEST(ConsoleMachineList, AFailedLoadKeepsTheListAndAVanishedSelectionIsReported)
{
    ScriptedConsoleFleet fleet;
    MachineDirectory directory(fleet, QStringLiteral("C02-HERE"));
    fleet.machinesAnswer = FleetMachineList{{machine("C02-A", "Booth A"), machine("C02-B", "Booth B")}};
    QCoro::waitFor(directory.refresh());
    directory.select(QStringLiteral("C02-B"));
    ASSERT_TRUE(directory.selectedMachine().has_value());

    fleet.machinesAnswer = APIError::serverError(QStringLiteral("Server error (502)"));
    QCoro::waitFor(directory.refresh());
    EXPECT_EQ(directory.errorText(), QStringLiteral("Failed to load machines: Server error (502)"));
    EXPECT_EQ(directory.list().rowCount(), 2) << "the last good list stays usable";
    EXPECT_FALSE(directory.selectionMissing()) << "a failed load is no news about the machine";

    fleet.machinesAnswer = FleetMachineList{{machine("C02-A", "Booth A")}};
    QCoro::waitFor(directory.refresh());
    EXPECT_TRUE(directory.errorText().isEmpty());
    EXPECT_TRUE(directory.selectionMissing());
    EXPECT_FALSE(directory.selectedMachine().has_value());

    fleet.machinesAnswer = FleetMachineList{{machine("C02-A", "Booth A"), machine("C02-B", "Booth B")}};
    QCoro::waitFor(directory.refresh());
    EXPECT_FALSE(directory.selectionMissing()) << "the machine came back";
}

TEST(ConsoleMachineList, LoadingIsShownUntilTheSlowServerAnswers)
{
    ScriptedConsoleFleet fleet;
    fleet.hold = true;
    fleet.machinesAnswer = FleetMachineList{{machine("C02-A", "Booth A")}};
    MachineDirectory directory(fleet, QString());
    directory.refresh();
    EXPECT_TRUE(directory.isLoading());
    directory.refresh(); // a second refresh while one is under way starts nothing
    fleet.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !directory.isLoading(); }, 5000));
    EXPECT_EQ(directory.list().rowCount(), 1);
}

TEST(ConsoleMachineDetail, TelemetryTextsFollowTheAnswer)
{
    struct Case {
        const char *name;
        APIResult<DeviceTelemetryResponse> answer;
        QString telemetryText;
        QString chartsText;
        qsizetype cpuPoints;
    } cases[] = {
        {"no samples", DeviceTelemetryResponse{}, "", "Not enough data points for this range.", 0},
        {"one sample", DeviceTelemetryResponse{{sample("2026-03-02T08:00:00Z", 10)}}, "",
         "Not enough data points for this range.", 1},
        {"samples out of order, one without a time",
         DeviceTelemetryResponse{{sample("2026-03-02T08:30:00Z", 30), sample("", 99),
                                  sample("2026-03-02T08:00:00Z", 10)}},
         "", "", 2},
        {"the server fails", APIError::serverError(QStringLiteral("Not found (404)")),
         "Failed to load telemetry for Booth 1: Not found (404)", "", 0},
    };
    for (const Case &tc : cases) {
        ScriptedConsoleFleet fleet;
        fleet.telemetryAnswer = [&](const QString &, int) { return tc.answer; };
        MachineDetailModel detail(fleet);
        QCoro::waitFor(detail.show(QStringLiteral("C02-B1"), QStringLiteral("Booth 1"), 24));
        EXPECT_EQ(detail.telemetryText(), tc.telemetryText) << tc.name;
        EXPECT_EQ(detail.chartsText(), tc.chartsText) << tc.name;
        ASSERT_EQ(detail.series().cpu.size(), tc.cpuPoints) << tc.name;
        if (tc.cpuPoints == 2) {
            EXPECT_EQ(detail.series().cpu[0].y(), 10) << tc.name << ": oldest first";
            EXPECT_EQ(detail.series().memory[0].y(), 25) << tc.name;
            EXPECT_EQ(detail.series().disk[0].y(), 20) << tc.name;
        }
    }
}

TEST(ConsoleMachineDetail, AnAnswerForAMachineNoLongerShownIsDropped)
{
    ScriptedConsoleFleet fleet;
    fleet.hold = true;
    fleet.telemetryAnswer = [](const QString &serial, int) {
        if (serial == QLatin1String("C02-OLD"))
            return DeviceTelemetryResponse{{sample("2026-03-02T08:00:00Z", 1), sample("2026-03-02T08:10:00Z", 1)}};
        return DeviceTelemetryResponse{};
    };
    MachineDetailModel detail(fleet);
    detail.show(QStringLiteral("C02-OLD"), QStringLiteral("Old"), 24);
    EXPECT_EQ(detail.telemetryText(), QStringLiteral("Loading telemetry…"));
    detail.show(QStringLiteral("C02-NEW"), QStringLiteral("New"), 6);
    fleet.hold = false;
    fleet.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !detail.isLoading(); }, 5000));
    QTest::qWait(0);
    EXPECT_EQ(detail.serial(), QStringLiteral("C02-NEW"));
    EXPECT_TRUE(detail.series().cpu.isEmpty()) << "the old machine's samples must not show under the new one";
    EXPECT_EQ(detail.chartsText(), QStringLiteral("Not enough data points for this range."));
}

TEST(ConsoleMachineDetail, CommandAnswersBecomeTheirTexts)
{
    ScriptedConsoleFleet fleet;
    MachineDetailModel detail(fleet);
    QCoro::waitFor(detail.show(QStringLiteral("C02-B1"), QStringLiteral("Booth 1"), 24));
    EXPECT_EQ(detail.restartConfirmTitle(), QStringLiteral("Restart Computer?"));
    EXPECT_EQ(detail.restartConfirmText(), QStringLiteral("This will send a restart command to Booth 1. The machine "
                                                          "will reboot shortly after receiving the command."));
    struct Case {
        const char *name;
        bool restart;
        APIResult<FleetCommandResponse> answer;
        QString want;
    } cases[] = {
        {"restart queued", true, FleetCommandResponse{true, 42, {}, {}}, "Restart command queued (ID: 42)"},
        {"restart refused", true, FleetCommandResponse{false, 0, {}, {}}, "Error: Command was not queued"},
        {"restart failed", true, APIError::serverError(QStringLiteral("Access denied (403)")),
         "Error: Access denied (403)"},
        {"other command refused", false, FleetCommandResponse{false, 0, {}, {}}, "Error: Not queued"},
        {"other command queued", false, FleetCommandResponse{true, 9, {}, {}}, "Queued (ID: 9)"},
    };
    for (const Case &tc : cases) {
        fleet.commandAnswer = [&](const QString &) { return tc.answer; };
        if (tc.restart)
            QCoro::waitFor(detail.restartComputer());
        else
            QCoro::waitFor(detail.queue(QStringLiteral("collect_logs"), {}));
        EXPECT_EQ(detail.commandText(), tc.want) << tc.name;
        EXPECT_EQ(fleet.queued.last().serial, QStringLiteral("C02-B1")) << tc.name;
    }
}

TEST(ConsoleBatch, EachPickedMachineGetsTheCommandAndItsOwnOutcome)
{
    ScriptedConsoleFleet fleet;
    fleet.commandAnswer = [](const QString &serial) -> APIResult<FleetCommandResponse> {
        if (serial == QLatin1String("C02-DOWN"))
            return APIError::networkError(QStringLiteral("Connection refused"));
        if (serial == QLatin1String("C02-NO"))
            return FleetCommandResponse{false, 0, serial, {}};
        return FleetCommandResponse{true, 11, serial, {}};
    };
    BatchCommandModel batch(fleet);
    EXPECT_EQ(batch.blocker(), QStringLiteral("Pick at least one machine."));
    for (const char *serial : {"C02-OK", "C02-DOWN", "C02-NO"})
        batch.setPicked(QString::fromLatin1(serial), true);
    batch.setPicked(QStringLiteral("C02-OK"), false);
    batch.setPicked(QStringLiteral("C02-OK"), true);
    batch.setCommand(1);
    EXPECT_EQ(batch.command().label, QStringLiteral("Restart App"));
    EXPECT_EQ(batch.blocker(), QStringLiteral("Choose an app or type its bundle ID."));
    QCoro::waitFor(batch.send());
    EXPECT_TRUE(fleet.queued.isEmpty()) << "an app command without an app is never sent";

    batch.setBundleId(QStringLiteral("  com.lumora.booth "));
    EXPECT_TRUE(batch.blocker().isEmpty());
    QCoro::waitFor(batch.send());
    const QList<BatchOutcome> want{
        {QStringLiteral("C02-DOWN"), false, QStringLiteral("Error: Connection refused")},
        {QStringLiteral("C02-NO"), false, QStringLiteral("Error: Not queued")},
        {QStringLiteral("C02-OK"), true, QStringLiteral("Restart App queued (ID: 11)")},
    };
    EXPECT_EQ(batch.outcomes(), want);
    ASSERT_EQ(fleet.queued.size(), 3);
    for (const auto &queued : fleet.queued) {
        EXPECT_EQ(queued.command, QStringLiteral("restart_app"));
        EXPECT_EQ(queued.params.value(QStringLiteral("bundle_id")), AnyCodable(QStringLiteral("com.lumora.booth")));
    }

    batch.setCommand(0);
    fleet.queued.clear();
    QCoro::waitFor(batch.send());
    ASSERT_EQ(fleet.queued.size(), 3);
    EXPECT_TRUE(fleet.queued[0].params.isEmpty()) << "a restart of the computer names no app";
}

TEST(ConsoleAlerts, EveryTabHasItsEmptyStateAndTheFleetTabItsLoadAndFailure)
{
    ScriptedConsoleFleet fleet;
    AlertsModel alerts(fleet);
    EXPECT_EQ(alerts.active(), (AlertTab{{}, "No Active Alerts", "All systems are operating normally."}));
    EXPECT_EQ(alerts.history(), (AlertTab{{}, "No Alert History", "Past alerts will appear here."}));
    EXPECT_EQ(alerts.fleet(), AlertTab{});

    fleet.hold = true;
    alerts.loadFleet();
    EXPECT_EQ(alerts.fleet().emptyTitle, QStringLiteral("Loading fleet alerts..."));
    fleet.hold = false;
    fleet.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.fleet().emptyTitle != QLatin1String("Loading fleet alerts..."); },
                                5000));
    EXPECT_EQ(alerts.fleet().emptyTitle, QStringLiteral("No alerts reported across the fleet."));

    FleetAlert handled;
    handled.serial = QStringLiteral("C02-B1");
    handled.severity = QStringLiteral("critical");
    handled.title = QStringLiteral("Booth Not Responding");
    handled.acknowledgedBy = QStringLiteral("ops@venue");
    fleet.alertsAnswer = QList<FleetAlert>{handled};
    QCoro::waitFor(alerts.loadFleet());
    ASSERT_EQ(alerts.fleet().rows.size(), 1);
    EXPECT_TRUE(alerts.fleet().rows[0].endsWith(QStringLiteral("Handled by ops@venue"))) << alerts.fleet().rows[0].toStdString();

    fleet.alertsAnswer = APIError::serverError(QStringLiteral("Fleet alerts decode failed: <html>"));
    QCoro::waitFor(alerts.loadFleet());
    EXPECT_EQ(alerts.fleet().emptyTitle, QStringLiteral("Failed to load fleet alerts: Fleet alerts decode failed: <html>"));
    EXPECT_EQ(alerts.fleet().rows.size(), 1) << "a failed reload keeps what was shown";

    const QDateTime at(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
    const WardenAlert disk =
        WardenAlert::make(AlertSeverity::critical, AlertCategory::disk, "Disk Almost Full", "3 GB left", "C02", at);
    alerts.setLocal({disk}, {disk});
    EXPECT_EQ(alerts.active().rows.size(), 1);
    EXPECT_TRUE(alerts.active().emptyTitle.isEmpty());
    EXPECT_EQ(alerts.history().rows.size(), 1);
}

TEST(ConsoleDashboard, EmptyServicesShowTheirEmptyLines)
{
    const DashboardView empty = DashboardView::from({});
    EXPECT_EQ(empty.apps, QStringList{"No Vesk apps running"});
    EXPECT_EQ(empty.policy, QStringLiteral("No active policy"));
    EXPECT_EQ(empty.alerts, QStringList{"No Active Alerts"});
    EXPECT_TRUE(empty.health.isEmpty());

    DashboardFacts facts;
    facts.snapshot = SystemSnapshot{};
    facts.snapshot->cpuUsage = 37.4;
    facts.snapshot->uptimeSeconds = 2 * 86400 + 3 * 3600;
    facts.runningApps = {AppSnapshot{"com.lumora.booth", "Booth", 10, 12.0, 300.0, false, std::nullopt}};
    facts.policyName = QStringLiteral("Weekend Kiosk");
    facts.enforcementPaused = true;
    const DashboardView full = DashboardView::from(facts);
    EXPECT_EQ(full.health.first(), QStringLiteral("CPU 37%"));
    EXPECT_EQ(full.health.last(), QStringLiteral("Up 2 d 3 h"));
    EXPECT_EQ(full.apps, QStringList{"Booth · 12% CPU · 300 MB · not responding"});
    EXPECT_EQ(full.policy, QStringLiteral("Policy in force: Weekend Kiosk (enforcement paused)"));
}

TEST(ConsolePolicyEditor, InvalidDraftsAreRefusedBeforeTheyAreSaved)
{
    const auto keepAlive = [](QStringList ids, int startHour, int endHour, int days) {
        DevicePolicy policy;
        KeepAliveRule rule;
        rule.name = QStringLiteral("Booth");
        rule.bundleIds = std::move(ids);
        rule.windows = {TimeWindow{QUuid::createUuid(), startHour, 0, endHour, 0}};
        rule.days = Weekdays(days);
        policy.keepAliveRules = {rule};
        return policy;
    };
    DevicePolicy updateWindow;
    updateWindow.updatePolicy.mode = UpdatePolicy::Mode::automatic;
    updateWindow.updatePolicy.windowStart = 3;
    updateWindow.updatePolicy.windowEnd = 3;
    DevicePolicy restartNoDay;
    restartNoDay.restartSchedule.enabled = true;
    restartNoDay.restartSchedule.days = Weekdays(0);
    DevicePolicy emptyRestartRule;
    emptyRestartRule.appRestartRules = {AppRestartRule{}};
    struct Case {
        const char *name;
        DevicePolicy draft;
        std::optional<QString> want;
    } cases[] = {
        {"a valid draft", keepAlive({"com.lumora.booth"}, 8, 20, 127), std::nullopt},
        {"a window over midnight is valid", keepAlive({"com.lumora.booth"}, 20, 2, 127), std::nullopt},
        {"window start equals end", keepAlive({"com.lumora.booth"}, 9, 9, 127),
         "Keep-alive rule \"Booth\" has a window that ends when it starts."},
        {"empty bundle id", keepAlive({" "}, 8, 20, 127), "Keep-alive rule \"Booth\" has an empty bundle ID."},
        {"no days", keepAlive({"com.lumora.booth"}, 8, 20, 0),
         "Keep-alive rule \"Booth\" runs on no day. Pick at least one day."},
        {"update window start equals end", updateWindow,
         "The update window ends when it starts. Choose a different end hour."},
        {"scheduled restart on no day", restartNoDay, "The scheduled restart runs on no day. Pick at least one day."},
        {"restart rule without an app", emptyRestartRule, "An app restart rule has an empty bundle ID."},
    };
    for (const Case &tc : cases)
        EXPECT_EQ(PolicyDraftCheck::problem(tc.draft), tc.want) << tc.name;
}

TEST(ConsoleMachineList, LastSeenTexts)
{
    const QDateTime now(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::systemTimeZone());
    struct Case {
        const char *name;
        QString lastSeen;
        QString want;
    } cases[] = {
        {"never", "", "Last seen: unknown"},
        {"garbage", "soon", "Last seen: unknown"},
        {"yesterday", now.addDays(-1).toUTC().toString(Qt::ISODate), "Last seen yesterday"},
        {"minutes", now.addSecs(-300).toUTC().toString(Qt::ISODate), "Last seen 5 min ago"},
    };
    for (const Case &tc : cases)
        EXPECT_EQ(lastSeenText(tc.lastSeen, now), tc.want) << tc.name;
}

TEST(ConsolePolicyManager, ListNotesFollowTheFleetAnswer)
{
    ScriptedConsoleFleet fleet;
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    AppLock lock(keychain, defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
    PolicyManagerModel model(fleet, lock);
    EXPECT_EQ(model.listNote(), QString()) << "nothing is said before the first load";

    fleet.hold = true;
    auto pending = model.load();
    EXPECT_EQ(model.listNote(), QStringLiteral("Loading policies…"));
    fleet.release();
    QCoro::waitFor(std::move(pending));
    EXPECT_EQ(model.listNote(), QStringLiteral("No policies yet. Create one with New Policy."));

    fleet.policiesAnswer = APIError::networkError(QStringLiteral("Connection refused"));
    QCoro::waitFor(model.load());
    EXPECT_EQ(model.listNote(), QStringLiteral("Failed to load policies: Connection refused"));

    DevicePolicy weekend;
    weekend.name = QStringLiteral("Weekend");
    DevicePolicy booth;
    booth.name = QStringLiteral("booth kiosk");
    fleet.policiesAnswer = QList<DevicePolicy>{weekend, booth};
    QCoro::waitFor(model.load());
    model.select(weekend.id);
    weekend.name = QStringLiteral("Weekend hours");
    fleet.policiesAnswer = QList<DevicePolicy>{weekend, booth};
    QCoro::waitFor(model.load());
    EXPECT_EQ(model.listNote(), QString());
    ASSERT_EQ(model.policies().size(), 2);
    EXPECT_EQ(model.policies().first().name, QStringLiteral("booth kiosk")) << "listed by name";
    ASSERT_TRUE(model.selected().has_value()) << "a selection the server still lists survives a reload";
    EXPECT_EQ(model.selected()->name, QStringLiteral("Weekend hours")) << "and shows the server's copy";
}

TEST(ConsolePolicyManager, SaveAndDeleteAreRefusedOrReportedWithTheirTexts)
{
    ScriptedConsoleFleet fleet;
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    AppLock lock(keychain, defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
    PolicyManagerModel model(fleet, lock);
    model.createDraft();
    ASSERT_TRUE(model.selected().has_value());
    DevicePolicy draft = *model.selected();
    draft.name = QStringLiteral("Booth");

    DevicePolicy zeroDays = draft;
    zeroDays.restartSchedule.enabled = true;
    zeroDays.restartSchedule.days = Weekdays(0);
    EXPECT_FALSE(QCoro::waitFor(model.save(zeroDays)));
    EXPECT_EQ(model.statusText(), QStringLiteral("The scheduled restart runs on no day. Pick at least one day."));
    EXPECT_TRUE(fleet.saved.isEmpty()) << "a refused draft never leaves the console";

    const PasswordChange set = QCoro::waitFor(
        lock.changePassword(LockScope::policy, {}, QStringLiteral("pol1cy"), QStringLiteral("pol1cy")));
    ASSERT_TRUE(set.done) << set.message.toStdString();
    lock.setLocked(LockScope::policy, true);
    EXPECT_FALSE(model.editable());
    EXPECT_FALSE(QCoro::waitFor(model.save(draft)));
    EXPECT_FALSE(QCoro::waitFor(model.remove(draft.id)));
    EXPECT_EQ(model.statusText(), QStringLiteral("Enter the policy password to edit policies."));
    EXPECT_TRUE(fleet.saved.isEmpty());
    ASSERT_TRUE(QCoro::waitFor(lock.verify(LockScope::policy, QStringLiteral("pol1cy"))));
    EXPECT_TRUE(model.editable());

    fleet.saveAnswer = APIError::serverError(QStringLiteral("HTTP 500"));
    EXPECT_FALSE(QCoro::waitFor(model.save(draft)));
    EXPECT_TRUE(model.policies().isEmpty());
    EXPECT_TRUE(model.statusText().startsWith(QStringLiteral("Failed to save policy Booth: ")))
        << model.statusText().toStdString();

    fleet.saveAnswer = APIStatus();
    EXPECT_TRUE(QCoro::waitFor(model.save(draft)));
    EXPECT_EQ(model.statusText(), QStringLiteral("Saved Booth"));
    ASSERT_EQ(model.policies().size(), 1);
    EXPECT_EQ(fleet.saved.last(), draft);

    struct Case {
        const char *name;
        APIStatus answer;
        QString want;
    } cases[] = {
        {"unreachable", APIError::networkError(QStringLiteral("timed out")), "Failed to delete policy Booth"},
        {"refused", APIError::serverError(QStringLiteral("HTTP 404")), "Delete failed for Booth: "},
        {"deleted", APIStatus(), "Deleted Booth"},
    };
    for (const Case &tc : cases) {
        fleet.deleteAnswer = tc.answer;
        QCoro::waitFor(model.remove(draft.id));
        EXPECT_TRUE(model.statusText().startsWith(tc.want)) << tc.name << ": " << model.statusText().toStdString();
    }
    EXPECT_TRUE(model.policies().isEmpty());
    EXPECT_FALSE(model.selected().has_value());
    EXPECT_EQ(fleet.deleted.size(), 3);
}

TEST(ConsolePolicyManager, EditorFieldsBecomeTheDraftAndKeepUnlistedAssignments)
{
    DevicePolicy policy;
    policy.name = QStringLiteral("Booth");
    policy.restartSchedule.enabled = true;
    policy.restartSchedule.hour = 4;
    policy.assignedSerials = {QStringLiteral("C02-B1"), QStringLiteral("C02-GONE")};

    const QList<MachineEntry> machines{{"1", "Booth 1", "C02-B1", {}, {}, false, {}},
                                       {"2", "Booth 2", "C02-B2", {}, {}, false, {}}};
    const QList<AssignableMachine> rows = PolicyManagerModel::assignable(machines, policy);
    EXPECT_EQ(rows, (QList<AssignableMachine>{{"C02-B1", "Booth 1", true},
                                              {"C02-B2", "Booth 2", false},
                                              {"C02-GONE", "C02-GONE", true}}));

    QString error;
    const std::optional<DevicePolicy> back =
        PolicyManagerModel::draftFrom(policy.id, QStringLiteral(" Booth "), policy.assignedSerials,
                                      PolicyManagerModel::rulesText(policy), &error);
    ASSERT_TRUE(back.has_value()) << error.toStdString();
    EXPECT_EQ(*back, policy) << "the rules text round-trips with the fields beside it";

    struct Case {
        const char *name;
        QString nameField;
        QString rules;
    } refused[] = {
        {"broken JSON", "Booth", "{\"restartSchedule\": "},
        {"not an object", "Booth", "[]"},
        {"malformed rule", "Booth", "{\"keepAliveRules\": 3}"},
        {"no name", "  ", "{}"},
    };
    for (const Case &tc : refused) {
        error.clear();
        EXPECT_FALSE(PolicyManagerModel::draftFrom(policy.id, tc.nameField, {}, tc.rules, &error).has_value())
            << tc.name;
        EXPECT_FALSE(error.isEmpty()) << tc.name;
    }

    EXPECT_EQ(PolicySummary::lines(std::nullopt), QStringList{QStringLiteral("No active policy")});
    const QStringList summary = PolicySummary::lines(policy);
    EXPECT_EQ(summary.first(), QStringLiteral("Policy in force: Booth"));
    EXPECT_TRUE(summary.contains(QStringLiteral("Scheduled restart at 04:00"))) << summary.join('|').toStdString();
    const QDateTime at(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());
    const QStringList log = PolicySummary::logRows({{QUuid::createUuid(), at, QStringLiteral("first")},
                                                   {QUuid::createUuid(), at.addSecs(60), QStringLiteral("second")}});
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log.first().endsWith(QStringLiteral("second"))) << "newest first";
}

TEST(ConsoleSettings, PollingLinesQuoteTheMeasuredMonthlyTraffic)
{
    EXPECT_EQ(PollingTexts::line(false, 99.9), QStringLiteral("Polling every 10–30 seconds. Measured ~100 MB/month."));
    EXPECT_EQ(PollingTexts::line(true, 27.13), QStringLiteral("Polling every 2–5 minutes. Measured ~27 MB/month."));

    // The built-in figures are the measured ones, not estimates typed into the code.
    QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../docs/network-budget.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QJsonObject budget = QJsonDocument::fromJson(file.readAll()).object();
    for (const bool lowData : {false, true}) {
        const double measured = budget.value(lowData ? QStringLiteral("lowdata") : QStringLiteral("default"))
                                    .toObject()
                                    .value(QStringLiteral("month_mb"))
                                    .toDouble(-1);
        ASSERT_GT(measured, 0) << lowData;
        EXPECT_EQ(PollingTexts::line(lowData), PollingTexts::line(lowData, measured)) << lowData;
    }
}

namespace {

InstalledApp installedApp(const char *id, const char *name, const char *version, bool running)
{
    InstalledApp app;
    app.bundleId = QString::fromLatin1(id);
    app.name = QString::fromLatin1(name);
    app.version = QString::fromLatin1(version);
    app.isRunning = running;
    app.isVeskApp = true;
    return app;
}

AvailableUpdate release(const char *id, const char *version)
{
    AvailableUpdate update;
    update.bundleId = QString::fromLatin1(id);
    update.version = QString::fromLatin1(version);
    update.downloadUrl = QStringLiteral("https://releases.example/") + update.bundleId + QStringLiteral(".zip");
    return update;
}

// The update service's install, answered by the test.
struct ScriptedUpdates final : UpdateCommands {
    CommandResult answer = CommandResult::ok(QStringLiteral("Updated Capture to 2.10"));
    QList<std::pair<AvailableUpdate, QMap<QString, QString>>> installs;

    QList<AvailableUpdate> availableUpdates() const override { return {}; }
    QCoro::Task<CommandResult> update(AvailableUpdate update, QMap<QString, QString> pins) override
    {
        installs.append({update, pins});
        co_return answer;
    }
};

} // namespace

TEST(ConsoleInstalledApps, ScanStatesFiltersAndTheCountLine)
{
    QPromise<QList<InstalledApp>> scan;
    scan.start();
    const QFuture<QList<InstalledApp>> found = scan.future();
    InstalledAppsModel model([found]() -> QCoro::Task<QList<InstalledApp>> { co_return co_await found; });
    model.load();
    EXPECT_EQ(model.statusText(), QStringLiteral("Scanning Vesk apps..."));
    bool secondDone = false;
    const auto second = [&]() -> QCoro::Task<> {
        co_await model.load(); // starts no second scan, ends with the first
        secondDone = true;
    };
    second();
    EXPECT_FALSE(secondDone);
    scan.addResult(QList<InstalledApp>{installedApp("com.lumora.capture", "Capture", "2.9", true),
                                       installedApp("com.lumora.booth", "Booth", "1.4", false),
                                       installedApp("com.lumora.print", "Print", "3.0", true)});
    scan.finish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondDone; }, 5000));
    EXPECT_EQ(model.statusText(), QString());
    EXPECT_EQ(model.countLine(), QStringLiteral("3 Vesk apps found · 2 running"));
    model.setFilter(InstalledAppsModel::Filter::stopped);
    ASSERT_EQ(model.shown().size(), 1);
    EXPECT_EQ(model.shown().first().bundleId, QStringLiteral("com.lumora.booth"));
    model.setFilter(InstalledAppsModel::Filter::running);
    EXPECT_EQ(model.shown().size(), 2);

    InstalledAppsModel none({});
    QCoro::waitFor(none.load());
    EXPECT_EQ(none.statusText(), QStringLiteral("No Vesk Apps Found")) << "no app directory: the empty state";
    EXPECT_EQ(none.countLine(), QString());
}

TEST(ConsoleSoftwareUpdates, RowsEmptyStatesAndApprovalFollowThePolicy)
{
    test::MemoryDefaultsStore defaults;
    ScriptedUpdates updates;
    QList<InstalledApp> apps{installedApp("com.lumora.capture", "Capture", "2.9", true),
                             installedApp("com.lumora.booth", "Booth", "1.4", false)};
    InstalledAppsModel installed([&apps]() -> QCoro::Task<QList<InstalledApp>> { co_return apps; });
    SoftwareUpdatesModel model(installed, &updates, defaults);
    EXPECT_EQ(model.emptyText(), QStringLiteral("Scanning Vesk apps..."));
    QCoro::waitFor(installed.load());
    EXPECT_EQ(model.emptyText(), QStringLiteral("All installed apps are running the latest version."));

    AvailableUpdate capture = release("com.lumora.capture", "2.10");
    capture.name = QStringLiteral("Capture");
    model.setFacts(
        {{capture}, {capture, release("com.lumora.kiosk", "5.0")}, {}, release("com.lumora.VeskWarden", "4.2"), {}});
    EXPECT_EQ(model.heldText(), QStringLiteral("Critical Warden update v4.2 is available, but this Mac's version pin "
                                               "is holding it. Move the pin in the admin portal to install it."));
    const SoftwareRow ready{"com.lumora.capture", "Capture", "2.9", "2.10", "Ready to install", true};
    EXPECT_EQ(model.rows(), QList<SoftwareRow>{ready}) << "no policy in force: the update is the operator's to install";
    model.setFilter(SoftwareUpdatesModel::Filter::all);
    QStringList listed;
    for (const SoftwareRow &row : model.rows())
        listed << row.bundleId + QLatin1Char('=') + row.installedVersion + QLatin1Char('/') + row.status;
    EXPECT_EQ(listed, (QStringList{"com.lumora.capture=2.9/Ready to install", "com.lumora.booth=1.4/Up to date",
                                   "com.lumora.kiosk=/Not installed"}));

    UpdatePolicy approved;
    model.setPolicy(approved);
    model.setFilter(SoftwareUpdatesModel::Filter::updates);
    ASSERT_EQ(model.rows().size(), 1);
    EXPECT_EQ(model.rows().first().status, QStringLiteral("Admin Approved Only"));
    EXPECT_FALSE(model.rows().first().installable);
    QCoro::waitFor(model.install(QStringLiteral("com.lumora.capture")));
    EXPECT_TRUE(updates.installs.isEmpty()) << "an update awaiting an admin's approval is not installed here";

    apps.clear();
    QCoro::waitFor(installed.load());
    model.setFacts({});
    EXPECT_EQ(model.emptyText(), QStringLiteral("No Vesk Apps Installed"));
}

TEST(ConsoleSoftwareUpdates, InstallPassesThePinsAndShowsTheServicesAnswer)
{
    test::MemoryDefaultsStore defaults;
    PinnedVersions::write(defaults, {{QStringLiteral("com.lumora.capture"), QStringLiteral("2.10")}});
    ScriptedUpdates updates;
    InstalledAppsModel installed([]() -> QCoro::Task<QList<InstalledApp>> {
        co_return QList<InstalledApp>{installedApp("com.lumora.capture", "Capture", "2.9", true)};
    });
    QCoro::waitFor(installed.load());
    SoftwareUpdatesModel model(installed, &updates, defaults);
    UpdatePolicy automatic;
    automatic.mode = UpdatePolicy::Mode::automatic;
    model.setPolicy(automatic);
    model.setFacts({{release("com.lumora.capture", "2.10")}, {}, {}, {}, {}});
    EXPECT_TRUE(model.policyText().contains(QStringLiteral("01:00–05:00"))) << model.policyText().toStdString();

    for (const CommandResult &answer : {CommandResult::failure(QStringLiteral("Download returned HTTP 404")),
                                        CommandResult::ok(QStringLiteral("Updated Capture to 2.10"))}) {
        updates.answer = answer;
        QCoro::waitFor(model.install(QStringLiteral("com.lumora.capture")));
        ASSERT_EQ(model.rows().size(), 1);
        EXPECT_EQ(model.rows().first().status, *answer.message);
    }
    ASSERT_EQ(updates.installs.size(), 2);
    EXPECT_EQ(updates.installs.first().first.version, QStringLiteral("2.10"));
    EXPECT_EQ(updates.installs.first().second.value(QStringLiteral("com.lumora.capture")), QStringLiteral("2.10"));

    model.setFacts({{release("com.lumora.capture", "2.10")}, {}, {{QStringLiteral("com.lumora.capture"), {}}}, {}, {}});
    EXPECT_EQ(model.rows().first().status, QStringLiteral("Downloading…"));
    EXPECT_FALSE(model.rows().first().installable) << "an update in flight is not started twice";
}

TEST(ConsoleAppChooser, FiftyMatchLimitTypedIdentifiersAndEveryFamilyApp)
{
    QList<AppRef> apps;
    for (int i = 0; i < 60; ++i)
        apps.append({QStringLiteral("com.other.tool%1").arg(i), QStringLiteral("Tool %1").arg(i), false});
    apps.append({QStringLiteral("com.lumora.capture"), QStringLiteral("Capture"), true});
    apps.append({QStringLiteral("com.lumora.booth"), QStringLiteral("Booth"), true});
    AppChooser chooser;
    chooser.setApps(apps);
    EXPECT_EQ(chooser.shown().size(), 50);
    EXPECT_EQ(chooser.limitText(),
              QStringLiteral("Showing first 50 of 62 matches — keep typing to narrow the search."));
    chooser.setSearch(QStringLiteral("LUMORA"));
    EXPECT_EQ(chooser.shown().size(), 2);
    EXPECT_EQ(chooser.limitText(), QString());
    EXPECT_TRUE(chooser.bundleIds().isEmpty()) << "a partial search is no bundle ID";
    chooser.setSearch(QStringLiteral("com.lumora.booth"));
    EXPECT_EQ(chooser.bundleIds(), QStringList{QStringLiteral("com.lumora.booth")});
    chooser.setSearch(QStringLiteral("com.lumora.remote"));
    EXPECT_EQ(chooser.typedText(), QStringLiteral("No known apps match “com.lumora.remote” as a bundle ID"));
    EXPECT_EQ(chooser.bundleIds(), QStringList{QStringLiteral("com.lumora.remote")});
    chooser.chooseAllVeskApps();
    EXPECT_EQ(chooser.bundleIds(), (QStringList{"com.lumora.capture", "com.lumora.booth"}));

    ScriptedConsoleFleet fleet;
    BatchCommandModel batch(fleet);
    batch.setPicked(QStringLiteral("C02-A"), true);
    batch.setCommand(2);
    batch.setBundleIds(chooser.bundleIds());
    QCoro::waitFor(batch.send());
    QStringList sent;
    for (const auto &queued : fleet.queued)
        sent << queued.command + QLatin1Char(' ') +
                    queued.params.value(QStringLiteral("bundle_id")).string().value_or(QString());
    EXPECT_EQ(sent, (QStringList{"quit_app com.lumora.capture", "quit_app com.lumora.booth"}));
    ASSERT_EQ(batch.outcomes().size(), 2);
    EXPECT_EQ(batch.outcomes().first().text, QStringLiteral("com.lumora.capture: Quit App queued (ID: 7)"));
}

TEST(ConsoleMachineSoftware, ReportedAppsUpdatesAndAppCommands)
{
    ScriptedConsoleFleet fleet;
    MachineSoftwareModel model(fleet);
    QCoro::waitFor(model.show(QStringLiteral("C02-B1"), QStringLiteral("Booth 1")));
    EXPECT_EQ(model.appsText(), QStringLiteral("Waiting for this machine to report its installed apps."));
    EXPECT_EQ(model.updatesText(), QString());

    RemoteInstalledApp capture{QStringLiteral("com.lumora.capture"), QStringLiteral("Capture"), QStringLiteral("1.4"),
                               QStringLiteral("b120"), {}, {}, true, true, {}, {}};
    RemoteInstalledApp booth{QStringLiteral("com.lumora.booth"), QStringLiteral("Booth"), QStringLiteral("2.10"),
                             {}, {}, {}, false, true, {}, {}};
    fleet.installedAppsAnswer = RemoteInstalledAppsResponse{QStringLiteral("C02-B1"), {capture, booth}};
    AvailableUpdate newerBuild = release("com.lumora.capture", "1.4");
    newerBuild.build = QStringLiteral("b121");
    fleet.releasesAnswer = AppUpdatesResponse{{newerBuild, release("com.lumora.booth", "2.9")}};
    QCoro::waitFor(model.reload());
    EXPECT_EQ(model.appsText(), QString());
    EXPECT_EQ(model.updates(), (QList<MachineUpdate>{{"com.lumora.capture", "Capture", "1.4", "1.4"}}))
        << "a newer build counts; an older version does not";
    fleet.releasesAnswer = AppUpdatesResponse{};
    QCoro::waitFor(model.reload());
    EXPECT_EQ(model.updatesText(), QStringLiteral("All apps are up to date"));
    fleet.releasesAnswer = APIError::serverError(QStringLiteral("Bad gateway (502)"));
    QCoro::waitFor(model.reload());
    EXPECT_EQ(model.updatesText(), QStringLiteral("Failed to load available updates: Bad gateway (502)"));

    EXPECT_EQ(model.restartConfirmText({QStringLiteral("com.lumora.capture")}),
              QStringLiteral("This will quit and relaunch Capture"));
    const QDateTime at(QDate(2026, 3, 2), QTime(22, 30), QTimeZone::utc());
    QCoro::waitFor(model.appCommand(QStringLiteral("restart_app"), {QStringLiteral("com.lumora.capture")}, at));
    QCoro::waitFor(model.scheduleUpdate(QStringLiteral("com.lumora.capture"), at));
    QCoro::waitFor(model.pinCurrentVersion(QStringLiteral("com.lumora.booth")));
    ASSERT_EQ(fleet.queued.size(), 3);
    EXPECT_EQ(fleet.queued[0].params.value(QStringLiteral("scheduled_at")),
              AnyCodable(QStringLiteral("2026-03-02T22:30:00Z")));
    EXPECT_EQ(fleet.queued[1].command, QStringLiteral("schedule_update"));
    EXPECT_EQ(fleet.queued[2].command, QStringLiteral("pin_version"));
    EXPECT_EQ(fleet.queued[2].params.value(QStringLiteral("version")), AnyCodable(QStringLiteral("2.10")));
    fleet.commandAnswer = [](const QString &serial) { return FleetCommandResponse{false, 0, serial, {}}; };
    QCoro::waitFor(model.appCommand(QStringLiteral("quit_app"), {QStringLiteral("com.lumora.booth")}));
    EXPECT_EQ(model.commandLines(), QStringList{QStringLiteral("Error: Not queued")});

    fleet.installedAppsAnswer = APIError::networkError(QStringLiteral("Connection refused"));
    QCoro::waitFor(model.reload());
    EXPECT_EQ(model.appsText(), QStringLiteral("Failed to load installed apps for Booth 1: Connection refused"));
}
