// The console's view models over a scripted fleet: which screens the sidebar lists, how the
// machine list filters and follows a vanished machine, the machine detail's telemetry and
// command texts, network log and notes, the batch sheet, the alert tabs' empty states and
// actions, the dashboard's lines, the policy editor's rule list and refusals and the Policy
// Manager's list, save, delete and lock; the Settings tabs' passwords, push, settings file and
// upload-credential texts; the Folder Cleanup and Network Shares screens over their services;
// the software screens: installed apps, updates with their installs, the app selector and a
// fleet machine's Software tab.
#include "ScriptedConsoleFleet.h"

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "MemoryKeychainStore.h"
#include "ScriptedHttpTransport.h"
#include "alerts/AlertReportingApi.h"
#include "platform/Notifier.h"
#include "commands/PinnedVersions.h"
#include "commands/UpdateCommands.h"
#include "console/AlertsModel.h"
#include "console/AppChooser.h"
#include "console/BatchCommandModel.h"
#include "console/ConsoleScreens.h"
#include "console/DashboardView.h"
#include "console/LocationRulesModel.h"
#include "console/LockPasswordsModel.h"
#include "console/FolderCleanupModel.h"
#include "console/MachineDetailModel.h"
#include "console/MachineDirectory.h"
#include "console/MachineNotesModel.h"
#include "console/NetworkScoutLog.h"
#include "console/NetworkSharesModel.h"
#include "console/InstalledAppsModel.h"
#include "console/MachineSoftwareModel.h"
#include "console/PolicyDraftCheck.h"
#include "console/PolicyFormModel.h"
#include "console/PolicyManagerModel.h"
#include "console/PolicySummary.h"
#include "console/PollingTexts.h"
#include "console/SoftwareUpdatesModel.h"
#include "local/AppLock.h"
#include "console/TelemetrySeries.h"
#include "console/PushSettingsModel.h"
#include "console/SettingsTransferModel.h"
#include "console/UploadCredentialsModel.h"
#include "local/SettingsTransferService.h"
#include "settings/FleetSettingsStore.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"
#include "platform/ShareMounter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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

template <class T>
struct MemoryList final : LocalList<T> {
    QList<T> list;
    QList<T> items() const override { return list; }
    void replace(const QList<T> &items) override { list = items; }
};

struct QuietNotifier final : Notifier {
    NotificationAuthorization status = NotificationAuthorization::unknown;
    void post(const LocalNotification &) override {}
    QCoro::Task<NotificationAuthorization> authorizationStatus() override { co_return status; }
};

// Answers every report and registration with the next scripted status, and keeps what it got.
struct ScriptedAlertReporting final : AlertReportingApi {
    APIStatus answer; // success
    QList<AlertReport> reports;
    QList<PushTokenRegistration> registrations;
    QCoro::Task<bool> isConfigured() override { co_return true; }
    QCoro::Task<APIStatus> reportAlert(AlertReport alert) override
    {
        reports.append(alert);
        APIStatus copy = answer; // QCoro moves from any non-const lvalue handed to co_return
        co_return copy;
    }
    QCoro::Task<APIStatus> registerPushToken(PushTokenRegistration registration) override
    {
        registrations.append(registration);
        APIStatus copy = answer;
        co_return copy;
    }
};

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
                      machine("X99-KIOSK", "Kiosk"), machine("C02-PRN", "Print Station"), machine("C02-B9", "booth 09")});
    MachineFilterModel filtered(list);
    struct Case {
        const char *name;
        QString search;
        bool focus;
        QStringList want;
        QString emptyText;
    } cases[] = {
        {"all, this Mac first, numbers sorted as numbers whatever their case and leading zeros", "", false,
         {"C02-HERE", "C02-B2", "C02-B9", "C02-B10", "X99-KIOSK", "C02-PRN"}, ""},
        {"name, any case", "booth", false, {"C02-B2", "C02-B9", "C02-B10"}, ""},
        {"serial", "x99", false, {"X99-KIOSK"}, ""},
        {"focus lists only this Mac", "", true, {"C02-HERE"}, ""},
        {"a search under focus looks at every machine", "print", true, {"C02-PRN"}, ""},
        {"no match says so with the text", "zebra", false, {}, "No machines match \"zebra\""},
        {"blank search is no search", "   ", false, {"C02-HERE", "C02-B2", "C02-B9", "C02-B10", "X99-KIOSK", "C02-PRN"}, ""},
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

TEST(ConsoleAlerts, ActionsOnAnAlertReportTheirOutcome)
{
    ScriptedConsoleFleet fleet;
    test::MemoryDefaultsStore defaults;
    test::ManualClock clock;
    FleetSettingsStore settings(defaults, clock);
    AlertsModel alerts(fleet);
    alerts.setSuppressionStore(&settings, &clock);

    FleetAlert hung;
    hung.alertId = 41;
    hung.serial = QStringLiteral("C02-B1");
    hung.category = QStringLiteral("app_hung");
    hung.message = QStringLiteral("Capture com.lumora.capture (PID 812) is hung");
    FleetAlert handled;
    handled.id = 42;
    handled.serial = QStringLiteral("C02-B2");
    handled.category = QStringLiteral("app_hung");
    handled.message = QStringLiteral("Capture (PID 9) is hung");
    handled.acknowledged = true;
    fleet.alertsAnswer = QList<FleetAlert>{hung, handled};
    QCoro::waitFor(alerts.loadFleet());
    EXPECT_EQ(alerts.actions(AlertList::fleet, 0),
              (AlertActions{QStringLiteral("C02-B1"), 41, QStringLiteral("com.lumora.capture")}));
    EXPECT_EQ(alerts.actions(AlertList::fleet, 1), (AlertActions{QStringLiteral("C02-B2"), std::nullopt, std::nullopt}))
        << "acknowledged already, and no bundle ID in its message";
    EXPECT_EQ(alerts.actions(AlertList::fleet, 2), AlertActions{});

    struct AckCase {
        const char *name;
        int row;
        APIStatus answer;
        QString want;
    } acks[] = {
        {"acknowledged", 0, APIStatus(), "Alert acknowledged"},
        {"refused", 0, APIError::serverError(QStringLiteral("HTTP 404")), "Acknowledge failed: "},
        {"nothing to acknowledge", 1, APIStatus(), "Failed to acknowledge fleet alert"},
    };
    for (const AckCase &tc : acks) {
        fleet.acknowledgeAnswer = tc.answer;
        QCoro::waitFor(alerts.acknowledge(tc.row));
        EXPECT_TRUE(alerts.actionText().startsWith(tc.want)) << tc.name << ": " << alerts.actionText().toStdString();
    }
    EXPECT_EQ(fleet.acknowledged, (QList<qint64>{41, 41}));

    using Answer = APIResult<FleetCommandResponse>;
    struct RestartCase {
        const char *name;
        Answer answer;
        QString want;
    } restarts[] = {
        {"queued", FleetCommandResponse{true, 9, "C02-B1", "restart_app"}, "Restart queued for com.lumora.capture"},
        {"not queued", FleetCommandResponse{false, 0, "C02-B1", "restart_app"},
         "Restart was not queued for com.lumora.capture"},
        {"refused", APIError::serverError(QStringLiteral("HTTP 500")), "Restart failed for com.lumora.capture: "},
        {"unreachable", APIError::networkError(QStringLiteral("timed out")),
         "Failed to queue restart_app for com.lumora.capture: timed out"},
    };
    for (const RestartCase &tc : restarts) {
        fleet.commandAnswer = [&](const QString &) { return tc.answer; };
        QCoro::waitFor(alerts.restartHungApp(0));
        EXPECT_TRUE(alerts.actionText().startsWith(tc.want)) << tc.name << ": " << alerts.actionText().toStdString();
    }
    ASSERT_FALSE(fleet.queued.isEmpty());
    EXPECT_EQ(fleet.queued.last().serial, QStringLiteral("C02-B1"));
    EXPECT_EQ(fleet.queued.last().command, QStringLiteral("restart_app"));
    EXPECT_EQ(fleet.queued.last().params.value(QStringLiteral("bundle_id")), AnyCodable(QStringLiteral("com.lumora.capture")));

    // A second mute of one machine replaces the first.
    alerts.mute(QStringLiteral("C02-B1"), SuppressionDuration::twentyFourHours);
    alerts.mute(QStringLiteral("C02-B1"), SuppressionDuration::untilRecovery);
    const QList<AlertSuppression> muted = settings.suppressedSerials();
    ASSERT_EQ(muted.size(), 1);
    EXPECT_EQ(muted.first().duration, SuppressionDuration::untilRecovery);
    EXPECT_EQ(alerts.actionText(), QStringLiteral("Alerts muted for C02-B1 (Until recovery)"));
}

TEST(ConsoleAlerts, LocationRulesMuteNarrowAndGoThroughTheStore)
{
    using namespace std::chrono_literals;
    test::MemoryDefaultsStore defaults;
    test::ManualClock clock;
    FleetSettingsStore settings(defaults, clock);
    LocationRulesModel rules(settings, clock);
    EXPECT_FALSE(rules.add(QStringLiteral(" "), QStringLiteral("Nowhere")));
    EXPECT_EQ(rules.message(), LocationRuleTexts::noCode);
    ASSERT_TRUE(rules.add(QStringLiteral("EV01"), QStringLiteral("Harbour Hall")));
    ASSERT_TRUE(rules.message().isEmpty());

    const QString ev01 = QStringLiteral("EV01");
    const struct {
        SuppressionDuration duration;
        std::chrono::milliseconds after;
        QString status;
    } mutes[] = {
        {SuppressionDuration::oneHour, 59min, "1 min left"},
        {SuppressionDuration::oneHour, 1h, LocationRuleTexts::notifying},
        {SuppressionDuration::twentyFourHours, 21h + 54min + 30s, "2h 5m left"},
        {SuppressionDuration::untilRecovery, 48h, "Muted until turned back on"},
        {SuppressionDuration::indefinitely, 48h, "Muted until turned back on"},
    };
    for (const auto &tc : mutes) {
        rules.mute(ev01, tc.duration);
        clock.advance(tc.after);
        EXPECT_EQ(rules.rows().first().status, tc.status) << SuppressionDurations::rawValue(tc.duration).toStdString();
        EXPECT_EQ(settings.locationNotificationRules().first().mutedDuration, tc.duration);
    }
    rules.unmute(ev01);
    rules.setCategoryEnabled(ev01, AlertCategory::cpu, false);
    rules.setCategoryEnabled(ev01, AlertCategory::disk, false);
    rules.setCategoryEnabled(ev01, AlertCategory::cpu, true);
    EXPECT_EQ(rules.rows().first().status, QStringLiteral("Off: disk"));
    ASSERT_TRUE(rules.add(QStringLiteral("EV02"), {}));
    const LocationNotificationRule stored = settings.locationNotificationRules().first();
    EXPECT_FALSE(stored.mutedDuration.has_value());
    EXPECT_EQ(stored.disabledCategories, QStringList{QStringLiteral("disk")});
    EXPECT_EQ(stored.locationName, QStringLiteral("Harbour Hall"));

    rules.remove(ev01);
    ASSERT_EQ(settings.locationNotificationRules().size(), 1);
    EXPECT_EQ(settings.locationNotificationRules().first().locationName, QStringLiteral("EV02"))
        << "the code stands in";
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

TEST(ConsolePolicyManager, TheRuleFormBecomesTheDraftAndKeepsUnlistedAssignments)
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

    PolicyFormModel form;
    form.setPolicy(policy);
    const int added = form.add(PolicyRuleKind::keepAlive);
    form.rules().keepAliveRules[0].name = QStringLiteral("Booth app");
    form.add(PolicyRuleKind::share);
    form.add(PolicyRuleKind::appRestart);
    EXPECT_EQ(added, 2) << "after the weekly restart and update rows";
    const QStringList labels = [&] {
        QStringList out;
        for (const PolicyRuleRow &row : form.rows())
            out.append(row.label);
        return out;
    }();
    EXPECT_EQ(labels, (QStringList{"Weekly Restart: 04:00", "App Updates: Admin Approved", "Keep Alive: Booth app",
                                   "App Restart: (unnamed)", "Network Share: New Share"}));
    EXPECT_FALSE(form.remove(1)) << "the update policy is not a listed rule";
    EXPECT_TRUE(form.remove(3));
    EXPECT_TRUE(form.rules().appRestartRules.isEmpty());
    EXPECT_EQ(form.rules().monitoredShares.size(), 1);

    QString error;
    EXPECT_FALSE(form.draft(policy.id, QStringLiteral("  "), {}, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("Give the policy a name."));
    const std::optional<DevicePolicy> back = form.draft(policy.id, QStringLiteral(" Booth "), policy.assignedSerials, &error);
    ASSERT_TRUE(back.has_value());
    DevicePolicy want = policy;
    want.keepAliveRules = form.rules().keepAliveRules;
    want.monitoredShares = form.rules().monitoredShares;
    EXPECT_EQ(*back, want) << "the rules keep their ids beside the name and assignment fields";
    EXPECT_EQ(PolicyFormModel::bundleIds(QStringLiteral(" com.lumora.booth,\n\ncom.lumora.capture , ")),
              (QStringList{"com.lumora.booth", "com.lumora.capture"}));

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

TEST(ConsoleSettings, PasswordSectionChecksInOrderAndKeepsEachLocksMessageApart)
{
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    AppLock lock(keychain, defaults, QStringLiteral("com.lumora.warden"), PasswordHashCost::minimum());
    LockPasswordsModel model(&lock);
    QCoro::waitFor(model.refresh());
    ASSERT_FALSE(model.hasPassword(LockScope::policy));

    struct Step {
        const char *name;
        QString current, fresh, confirmation;
        QString message;
        bool stored;
    };
    const Step steps[] = {
        {"a mismatch is reported before the length", {}, "abc", "abd", LockTexts::mismatch, false},
        {"three characters are too short", {}, "abc", "abc", LockTexts::tooShort, false},
        {"the first password needs no current one", {}, "kiosk", "kiosk", LockTexts::changed, true},
        {"a change needs the current password", "wrong", "booth", "booth", LockTexts::wrongCurrent, true},
        {"the right current password changes it", "kiosk", "booth", "booth", LockTexts::changed, true},
    };
    for (const Step &step : steps) {
        QCoro::waitFor(model.change(LockScope::policy, step.current, step.fresh, step.confirmation));
        EXPECT_EQ(model.message(LockScope::policy), step.message) << step.name;
        EXPECT_EQ(model.hasPassword(LockScope::policy), step.stored) << step.name;
    }
    EXPECT_FALSE(lock.policyLocked()) << "a changed password leaves its lock open";
    EXPECT_TRUE(model.message(LockScope::settings).isEmpty()) << "another lock's message leaks";

    QCoro::waitFor(model.remove(LockScope::policy, QStringLiteral("kiosk")));
    EXPECT_EQ(model.message(LockScope::policy), LockTexts::wrongCurrent);
    EXPECT_TRUE(model.hasPassword(LockScope::policy));
    QCoro::waitFor(model.remove(LockScope::policy, QStringLiteral("booth")));
    EXPECT_EQ(model.message(LockScope::policy), LockTexts::removed);
    EXPECT_FALSE(QCoro::waitFor(lock.hasPassword(LockScope::policy)));
}

TEST(ConsoleSettings, PushRegistrationTestPushAndStatusCheckShowTheirResults)
{
    test::MemoryDefaultsStore defaults;
    test::ManualClock clock;
    FleetSettingsStore settings(defaults, clock);
    ScriptedAlertReporting reporting;
    QuietNotifier notifier;
    AlertService alerts({settings, reporting, notifier, clock, QStringLiteral("C02TEST1")});
    PushSettingsModel model({&alerts, nullptr, &reporting}, defaults, clock, QStringLiteral("C02TEST1"));

    // No token yet and no channel to ask for one: nothing is sent.
    QCoro::waitFor(model.registerToken());
    EXPECT_TRUE(reporting.registrations.isEmpty());
    EXPECT_EQ(model.tokenLine(), QStringLiteral("Push token: none yet"));

    alerts.setCachedPushToken(QStringLiteral("ABCDEF0123456789"));
    defaults.setValue(FleetSettingsKeys::tenantCode, QStringLiteral("HAUNTS01"));
    defaults.setValue(PushSettingsModel::alertScopeKey, QStringLiteral("location"));
    QCoro::waitFor(model.registerToken());
    ASSERT_EQ(reporting.registrations.size(), 1);
    EXPECT_EQ(reporting.registrations.first().alertScope, QStringLiteral("location"));
    EXPECT_EQ(model.registerResult(), QStringLiteral("Token registered"));
    EXPECT_TRUE(model.tokenLine().endsWith(QStringLiteral("(registered)"))) << model.tokenLine().toStdString();

    // A registration that fails is not hidden behind the earlier success.
    reporting.answer = APIError::serverError(QStringLiteral("Server error: 503"));
    QCoro::waitFor(model.registerToken());
    EXPECT_EQ(model.registerResult(), QStringLiteral("Registration failed (see the agent log)"));

    QCoro::waitFor(model.sendTestPush());
    EXPECT_EQ(model.testResult(), PushTexts::failedPrefix + APIError::serverError(QStringLiteral("Server error: 503")).message());
    reporting.answer = APIStatus();
    QCoro::waitFor(model.sendTestPush());
    EXPECT_EQ(model.testResult(), PushTexts::sent);
    ASSERT_EQ(reporting.reports.size(), 2);
    const AlertReport &sent = reporting.reports.last();
    EXPECT_EQ(sent.category, QStringLiteral("test"));
    EXPECT_EQ(sent.severity, QStringLiteral("critical"));
    EXPECT_EQ(sent.title, QStringLiteral("Test Push Notification"));
    EXPECT_EQ(sent.message, QStringLiteral("If you see this, push notifications are working for C02TEST1."));
    EXPECT_EQ(sent.timestamp, clock.now());
    EXPECT_EQ(sent.tenantCode, QStringLiteral("HAUNTS01"));

    using enum NotificationAuthorization;
    const std::pair<NotificationAuthorization, QString> statuses[] = {
        {notDetermined, "Notifications: not determined — tap Request Permission"},
        {denied, "Notifications: denied — open Settings to enable"},
        {authorized, "Notifications: authorized"}, {provisional, "Notifications: provisional"},
        {ephemeral, "Notifications: ephemeral"}, {unknown, "Notifications: unknown"}};
    PushSettingsModel checked({nullptr, nullptr, nullptr, &notifier}, defaults, clock, QStringLiteral("C02TEST1"));
    for (const auto &[status, text] : statuses) {
        notifier.status = status;
        QCoro::waitFor(checked.checkStatus());
        EXPECT_EQ(checked.statusResult(), text);
    }
}

TEST(ConsoleSettings, AnUnusableSettingsFileIsRefusedAndChangesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::MemoryDefaultsStore defaults;
    test::MemoryKeychainStore keychain;
    test::ManualClock clock;
    MemoryList<DevicePolicy> policies;
    MemoryList<RetentionRule> rules;
    MemoryList<MonitoredShare> shares;
    SettingsTransferService transfer(
        {defaults, keychain, QStringLiteral("com.lumora.warden"), policies, rules, shares, clock, QStringLiteral("1.0")});
    SettingsTransferModel model(&transfer);

    defaults.setValue(FleetSettingsKeys::lowDataMode, true);
    const QString good = dir.filePath(SettingsTransferModel::suggestedFileName());
    model.exportTo(good);
    ASSERT_TRUE(model.result().startsWith(QStringLiteral("Settings exported to "))) << model.result().toStdString();
    model.exportTo(dir.filePath(QStringLiteral("no-such-folder/settings.json")));
    EXPECT_TRUE(model.result().startsWith(QStringLiteral("Could not write "))) << model.result().toStdString();

    QFile garbage(dir.filePath(QStringLiteral("garbage.json")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(R"({"preferences": {"lowDataMode": false}, "policies": [)");
    garbage.close();
    defaults.setValue(FleetSettingsKeys::lowDataMode, false);
    const struct {
        QString path;
        QString text;
    } refused[] = {{garbage.fileName(), QStringLiteral("This isn't a Vesk Warden settings file.")},
                   {dir.filePath(QStringLiteral("missing.json")), QStringLiteral("The file could not be read.")}};
    for (const auto &file : refused) {
        QCoro::waitFor(model.importFrom(file.path));
        EXPECT_EQ(model.result(), file.text);
        EXPECT_FALSE(defaults.boolValue(FleetSettingsKeys::lowDataMode)) << file.path.toStdString();
    }

    QCoro::waitFor(model.importFrom(good));
    EXPECT_EQ(model.result(), QStringLiteral("Imported 0 policies, 0 cleanup rules, 0 network shares."));
    EXPECT_TRUE(defaults.boolValue(FleetSettingsKeys::lowDataMode));
}

TEST(ConsoleSettings, EachCredentialPairGetsItsOwnConnectionTestResult)
{
    test::MemoryDefaultsStore defaults;
    test::ManualClock clock;
    test::ScriptedHttpTransport http;
    CredentialManager credentials(defaults, clock, http, PlatformPaths::underRoot(QStringLiteral("/nonexistent")),
                                  QUrl(QStringLiteral("https://upload.example/upload/")));
    CredentialSet gala;
    gala.name = QStringLiteral("Gala_2026");
    gala.kr5Account = QStringLiteral("GALA-0001");
    gala.kr5Location = QStringLiteral("NORTH");
    gala.kr52Account = QStringLiteral("GALA-0002");
    gala.kr52Location = QStringLiteral("SOUTH");
    ASSERT_TRUE(credentials.addSet(gala));
    UploadCredentialsModel model(&credentials);
    ASSERT_EQ(model.pairs().size(), 2);
    EXPECT_TRUE(model.pairs()[0].current);
    EXPECT_FALSE(model.pairs()[1].current);

    http.expect("POST", QStringLiteral("/upload/"), 200, "<?xml version=\"1.0\"?><result>ok</result>");
    http.expect("POST", QStringLiteral("/upload/"), 200, "ACCESS DENIED");
    QCoro::waitFor(model.test(0));
    QCoro::waitFor(model.test(1));
    EXPECT_EQ(model.pairs()[0].result, QStringLiteral("Connection OK"));
    EXPECT_EQ(model.pairs()[1].result, QStringLiteral("Invalid credentials"));

    // An edit of the set keeps the result of a pair left as it was; a changed pair starts afresh.
    gala.kr52Location = QStringLiteral("EAST");
    ASSERT_TRUE(credentials.updateSet(gala));
    EXPECT_EQ(model.pairs()[0].result, QStringLiteral("Connection OK"));
    EXPECT_TRUE(model.pairs()[1].result.isEmpty());
}

namespace {

// A telemetry sample with its network fields; `context` marks a sample sent with sensitive
// telemetry on (it carries the local address, the Wi-Fi network and the mounts).
DeviceTelemetrySnapshot networkSample(const char *at, const char *interface, bool context, const char *ssid = "",
                                      QStringList mounts = {})
{
    DeviceTelemetrySnapshot s;
    s.createdAt = QString::fromLatin1(at);
    s.primaryInterface = QString::fromLatin1(interface);
    if (context) {
        s.localIP = QStringLiteral("10.0.0.5");
        if (*ssid)
            s.wifiSSID = QString::fromLatin1(ssid);
        if (!mounts.isEmpty())
            s.decodedNetworkMounts = mounts;
    }
    return s;
}

QStringList eventTexts(const QList<NetworkEvent> &events)
{
    QStringList out;
    for (const NetworkEvent &e : events)
        out.append(e.title + QStringLiteral(": ") + e.detail);
    return out;
}

// Answers every probe as told; a mount succeeds at a fixed point.
struct QuietMounter final : ShareMounter {
    bool serverAnswers = false;
    QList<MountTableEntry> mountTable() override { return {}; }
    QCoro::Task<bool> pathResponds(QString, std::chrono::milliseconds) override { co_return true; }
    QCoro::Task<bool> probeHost(QString, quint16, std::chrono::milliseconds) override { co_return serverAnswers; }
    QCoro::Task<MountResult> mountShare(ShareMountRequest, std::chrono::milliseconds) override
    {
        co_return MountResult::failed(QStringLiteral("The share name was not found on the server"));
    }
    QCoro::Task<bool> forceUnmount(QString) override { co_return true; }
};

} // namespace

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

TEST(ConsoleMachineDetail, NetworkChangesBetweenSamplesNewestFirst)
{
    const QStringList nas{QStringLiteral("/Volumes/NAS")};
    const QStringList both{QStringLiteral("/Volumes/NAS"), QStringLiteral("/Volumes/Print")};
    struct Case {
        const char *name;
        QList<DeviceTelemetrySnapshot> samples;
        QStringList want;
    } cases[] = {
        {"interface switch, samples out of order",
         {networkSample("2026-03-02T08:10:00Z", "en1", false), networkSample("2026-03-02T08:00:00Z", "en0", false),
          networkSample("2026-03-02T08:20:00Z", "en0", false)},
         {"Interface Switched: en1 → en0", "Interface Switched: en0 → en1"}},
        {"Wi-Fi lost while the context is still reported",
         {networkSample("2026-03-02T08:00:00Z", "en0", true, "Gala"),
          networkSample("2026-03-02T08:10:00Z", "en0", true)},
         {"Wi-Fi Disconnected: Gala"}},
        {"sensitive telemetry switched off is no change",
         {networkSample("2026-03-02T08:00:00Z", "en0", true, "Gala", nas),
          networkSample("2026-03-02T08:10:00Z", "en0", false)},
         {}},
        {"mounts come and go; a sample with context but no list has none",
         {networkSample("2026-03-02T08:00:00Z", "en0", true, "", nas),
          networkSample("2026-03-02T08:10:00Z", "en0", true, "", both),
          networkSample("2026-03-02T08:20:00Z", "en0", true)},
         {"Mount Removed: /Volumes/NAS", "Mount Removed: /Volumes/Print", "Mount Added: /Volumes/Print"}},
    };
    for (const Case &tc : cases)
        EXPECT_EQ(eventTexts(networkEvents(tc.samples)), tc.want) << tc.name;

    EXPECT_EQ(NetworkScoutLog::from({}).emptyText, QStringLiteral("No network changes in this period."));
    QList<DeviceTelemetrySnapshot> flapping;
    for (int i = 0; i < NetworkScoutLog::shownEvents + 4; ++i) {
        const QString at = QDateTime(QDate(2026, 3, 2), QTime(8, i), QTimeZone::utc()).toString(Qt::ISODate);
        flapping.append(networkSample(qPrintable(at), i % 2 ? "en1" : "en0", true, i < 2 ? "Gala" : ""));
    }
    const NetworkScoutLog log = NetworkScoutLog::from(networkEvents(flapping));
    EXPECT_EQ(log.lines.size(), NetworkScoutLog::shownEvents);
    EXPECT_EQ(log.moreLine, QStringLiteral("4 more events not shown"));
    EXPECT_EQ(log.trends, QStringLiteral("23 interface switches · 1 Wi-Fi disconnect"));
    EXPECT_TRUE(log.emptyText.isEmpty());
}

TEST(ConsoleMachineDetail, NotesAreListedAddedAndDeletedWithTheirFailureTexts)
{
    ScriptedConsoleFleet fleet;
    MachineNotesModel notes(fleet, QStringLiteral("C02-ADMIN"));
    QCoro::waitFor(notes.show(QStringLiteral("C02-B1"), QStringLiteral("Booth 1")));
    EXPECT_EQ(notes.emptyText(), QStringLiteral("No notes yet. Add one above."));

    EXPECT_FALSE(QCoro::waitFor(notes.add(QStringLiteral("   ")))) << "a blank note is not sent";
    EXPECT_TRUE(fleet.addedNotes.isEmpty());

    fleet.addNoteAnswer = APIError::serverError(QStringLiteral("Access denied (403)"));
    EXPECT_FALSE(QCoro::waitFor(notes.add(QStringLiteral("Printer jams"))));
    EXPECT_EQ(notes.errorText(), QStringLiteral("Error: Note save failed: Access denied (403)"));

    fleet.addNoteAnswer = {};
    fleet.notesAnswer = MachineNotesResponse{
        QStringLiteral("C02-B1"),
        {MachineNote{5, QStringLiteral("C02-B1"), QStringLiteral("C02-ADMIN"), QStringLiteral("Printer jams"), {}}}};
    EXPECT_TRUE(QCoro::waitFor(notes.add(QStringLiteral(" Printer jams "))));
    EXPECT_EQ(fleet.addedNotes.last(),
              (MachineNote{0, QStringLiteral("C02-B1"), QStringLiteral("C02-ADMIN"), QStringLiteral("Printer jams"), {}}));
    EXPECT_TRUE(notes.errorText().isEmpty());
    ASSERT_EQ(notes.notes().size(), 1) << "the list is read again after a note is stored";
    EXPECT_TRUE(notes.emptyText().isEmpty());

    fleet.deleteNoteAnswer = APIError::networkError(QStringLiteral("Connection refused"));
    EXPECT_FALSE(QCoro::waitFor(notes.remove(5)));
    EXPECT_EQ(notes.errorText(), QStringLiteral("Error: Delete note failed: Connection refused"));
    EXPECT_EQ(notes.notes().size(), 1) << "a failed delete keeps the note listed";

    fleet.notesAnswer = APIError::serverError(QStringLiteral("Bad gateway (502)"));
    QCoro::waitFor(notes.show(QStringLiteral("C02-B2"), QStringLiteral("Booth 2")));
    EXPECT_EQ(notes.errorText(), QStringLiteral("Failed to load notes: Bad gateway (502)"));
    EXPECT_TRUE(notes.notes().isEmpty()) << "another machine's notes never show under this one";
    EXPECT_TRUE(notes.emptyText().isEmpty()) << "a failed load is not an empty list";
}

TEST(ConsoleFolderCleanup, RulesAreRefusedBeforeSavingAndShowTheirLastRun)
{
    FolderCleanupModel missing(nullptr);
    EXPECT_EQ(missing.emptyText(), QStringLiteral("No cleanup rules yet. Add a folder to keep it from filling the disk."));
    EXPECT_FALSE(missing.save(RetentionRule{})) << "nothing is saved without the service";

    QTemporaryDir temp;
    const QString home = temp.path() + QStringLiteral("/home");
    test::ManualClock clock;
    FolderRetentionService service({clock, ProtectedFolders::macOS(), home, temp.path()});
    FolderCleanupModel cleanup(&service);
    EXPECT_FALSE(cleanup.emptyText().isEmpty());

    RetentionRule draft;
    draft.name = QStringLiteral("Camera drops");
    draft.folderPath = home + QStringLiteral("/Desktop/Drops");
    struct Case {
        const char *name;
        QString folder;
        int hours;
        QString want;
    } cases[] = {
        {"0 days", draft.folderPath, 0, "Choose an age of at least 1 hour."},
        {"no folder", "", 72, "Choose a folder first."},
        {"relative folder", "Desktop/Drops", 72, "The folder path must be a full path."},
        {"the home folder", "~", 72, "That folder is too broad to clean safely. Choose a specific folder instead."},
        {"the user's Library", "~/Library/Caches", 72, "System and app-support folders can't be cleaned."},
    };
    for (const Case &tc : cases) {
        RetentionRule rule = draft;
        rule.folderPath = tc.folder;
        rule.maxAgeHours = tc.hours;
        EXPECT_EQ(cleanup.problem(rule), std::optional<QString>(tc.want)) << tc.name;
        EXPECT_FALSE(cleanup.save(rule)) << tc.name;
        EXPECT_EQ(cleanup.editError(), tc.want) << tc.name;
    }
    EXPECT_TRUE(service.rules().isEmpty()) << "a refused rule is never stored";

    draft.maxAgeHours = 48;
    draft.fileFilter = RetentionRule::FileFilter::images;
    draft.keepNewestCount = 3;
    ASSERT_TRUE(cleanup.save(draft)) << cleanup.editError().toStdString();
    ASSERT_TRUE(QFile::exists(temp.path() + QStringLiteral("/retention_rules.json")));
    RetentionRule policyRule;
    policyRule.name = QStringLiteral("Print spool");
    policyRule.folderPath = temp.path() + QStringLiteral("/spool");
    QDir().mkpath(policyRule.folderPath);
    QFile old(policyRule.folderPath + QStringLiteral("/job.pdf"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("12345");
    old.flush();
    old.setFileTime(clock.now().addDays(-5), QFileDevice::FileModificationTime);
    old.close();
    service.setPolicyRetentionRules({policyRule});

    QList<FolderCleanupModel::Row> rows = cleanup.rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].title, QStringLiteral("Camera drops"));
    EXPECT_EQ(rows[0].summary, draft.folderPath + QStringLiteral(" · pictures older than 2 days · keeps the newest 3 · "
                                                                 "preview only"));
    EXPECT_EQ(rows[0].status, QStringLiteral("Not swept yet"));
    EXPECT_EQ(rows[1].title, QStringLiteral("Print spool · From policy"));
    EXPECT_TRUE(cleanup.isOwn(draft.id));
    EXPECT_FALSE(cleanup.isOwn(policyRule.id)) << "the policy's rules are read-only here";

    auto sweep = cleanup.sweepNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sweep.isReady(); }, 10000));
    rows = cleanup.rows();
    EXPECT_TRUE(rows[0].status.endsWith(QStringLiteral(": Folder not found"))) << rows[0].status.toStdString();
    EXPECT_TRUE(rows[1].status.endsWith(QStringLiteral(": preview — 1 file (5 bytes) would be removed")))
        << rows[1].status.toStdString();
    EXPECT_TRUE(old.exists()) << "a preview removes nothing";
    ASSERT_FALSE(cleanup.logLines().isEmpty());
    EXPECT_TRUE(cleanup.logLines().first().contains(QStringLiteral("Print spool: preview"))) << "newest first";

    cleanup.remove(draft.id);
    EXPECT_EQ(cleanup.rows().size(), 1) << "the policy's rule stays";
}

TEST(ConsoleNetworkShares, SharesAreCheckedBeforeSavingAndMountNowSaysWhyNot)
{
    NetworkSharesModel missing(nullptr);
    EXPECT_EQ(missing.emptyText(), QStringLiteral("No network shares yet. Add one to keep it mounted on this Mac."));

    QTemporaryDir temp;
    test::ManualClock clock;
    QuietMounter mounter;
    test::MemoryKeychainStore keychain;
    NetworkShareMonitor monitor({clock, mounter, keychain, temp.path(), QStringLiteral("C02TEST")});
    NetworkSharesModel shares(&monitor);

    struct Case {
        const char *name;
        QString address;
        std::optional<QString> want;
    } cases[] = {
        {"empty", "  ", "Enter the share's address, such as smb://server/share."},
        {"no host", "smb:///photos", "Invalid share address"},
        {"web address", "https://nas.local/photos", "Use an smb://, afp:// or nfs:// address."},
        {"server without share", "smb://nas.local", "Add the share's name after the server, as in smb://server/share."},
        {"bare server and share", "nas.local/Event Captures", std::nullopt},
    };
    for (const Case &tc : cases) {
        MonitoredShare draft;
        draft.address = tc.address;
        EXPECT_EQ(shares.problem(draft), tc.want) << tc.name;
    }
    MonitoredShare refused;
    refused.address = QStringLiteral("smb://nas.local");
    EXPECT_FALSE(QCoro::waitFor(shares.save(refused, "secret")));
    EXPECT_TRUE(monitor.shares().isEmpty());
    EXPECT_EQ(keychain.itemCount(), 0) << "a refused share stores no password";

    MonitoredShare guest;
    guest.name = QStringLiteral("Event drive");
    guest.address = QStringLiteral("nas.local/Event Captures");
    guest.username = QStringLiteral("  ");
    ASSERT_TRUE(QCoro::waitFor(shares.save(guest, {})));
    ASSERT_EQ(monitor.shares().size(), 1);
    EXPECT_EQ(monitor.shares().first().username, std::nullopt) << "a blank user name mounts as guest";
    EXPECT_EQ(shares.rows().first().summary, QStringLiteral("nas.local/Event Captures · as guest"));

    guest.username = QStringLiteral("booth");
    ASSERT_TRUE(QCoro::waitFor(shares.save(guest, "s3cret")));
    ASSERT_EQ(monitor.shares().size(), 1) << "saving a known share updates it";
    EXPECT_EQ(keychain.stored(NetworkShareMonitor::passwordService(guest.id), QString()), QByteArray("s3cret"));
    keychain.failWith(test::MemoryKeychainStore::Operation::Write,
                      KeychainResult::failure(KeychainError::AccessDenied, QStringLiteral("denied")));
    EXPECT_FALSE(QCoro::waitFor(shares.save(guest, "other")));
    EXPECT_EQ(shares.message(), QStringLiteral("The password could not be stored in the keychain."));

    QCoro::waitFor(shares.mountNow(guest.id));
    EXPECT_EQ(shares.message(), QStringLiteral("The server nas.local is not answering."));
    EXPECT_EQ(shares.rows().first().status.section(QStringLiteral(" · "), 0, 0),
              QStringLiteral("Server unreachable — No answer from nas.local"));
    mounter.serverAnswers = true;
    QCoro::waitFor(shares.mountNow(guest.id));
    EXPECT_EQ(shares.message(), QStringLiteral("The share name was not found on the server"));

    QCoro::waitFor(shares.remove(guest.id));
    EXPECT_EQ(shares.emptyText(), QStringLiteral("No network shares yet. Add one to keep it mounted on this Mac."));
}

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
