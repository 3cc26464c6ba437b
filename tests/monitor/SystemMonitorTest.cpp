// The monitor's sampling loop, its reports and the responsiveness probe, on virtual time.
#include "FakeFleetReporting.h"
#include "FakeSystemInfoSource.h"
#include "FakeWorkspace.h"
#include "LogCapture.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"

#include "settings/FleetSettingsStore.h"
#include "monitor/FamilyApps.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/SystemMonitor.h"
#include "platform/MachineIdentity.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTimeZone>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

namespace vesk {
namespace {

using namespace std::chrono_literals;
namespace keys = FleetSettingsKeys;

class FixedIdentity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("VW-TEST-0001"); }
    QString hostName() const override { return QStringLiteral("booth-1"); }
};

class SystemMonitorTest : public ::testing::Test {
protected:
    SystemMonitorTest()
    {
        settings.registerFleetDefaults();
        workspace.installed = {BundleInfo{QStringLiteral("/Applications/Capture.app"), capture, {}, {}, {}, {}, {}}};
    }
    ~SystemMonitorTest() override { monitor.stop(); }

    RunningApplication app(const QString &id, qint32 pid, const QString &name, bool finished = true) const
    {
        return RunningApplication{id, pid, name, QStringLiteral("/Applications/x.app"), clock.now().addSecs(-600),
                                  finished, false};
    }

    // Moves virtual time on, letting each pass finish before the next wake: the installed-apps
    // discovery runs on a worker, so a pass that reports it resumes through the event loop.
    void runFor(std::chrono::milliseconds by)
    {
        const QDateTime end = clock.now().addMSecs(by.count());
        for (;;) {
            settle();
            const auto next = clock.nextWakeIn();
            if (next < 0ms || clock.now().addMSecs(next.count()) > end)
                break;
            clock.advance(next);
        }
        clock.advance(std::chrono::milliseconds(clock.now().msecsTo(end)));
    }
    void settle()
    {
        if (monitor.isRunning()) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return clock.sleeperCount() > 0; }, 5000));
        }
    }

    const QString capture = familyAppTable().at(0).bundleId;
    const QString print = familyAppTable().at(11).bundleId;
    test::ManualClock clock;
    test::MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    test::FakeSystemInfoSource source;
    test::FakeWorkspace workspace;
    test::FakeFleetReporting api;
    QTemporaryDir root;
    PlatformPaths paths = PlatformPaths::underRoot(root.path());
    FleetAppDirectory directory{workspace, clock, paths};
    FixedIdentity identity;
    SystemMonitor monitor{{source, workspace, api, settings, directory, identity, clock}};
    QSignalSpy samples{&monitor, &SystemMonitor::updated};
};

TEST_F(SystemMonitorTest, ReportsOnItsDefaultCadence)
{
    api.speedTests = {SpeedTestResult{50, 10, 20}, SpeedTestResult{60, 12, 22}};
    struct Checkpoint {
        qint64 at;
        int telemetry, installedApps, speedTests;
    };
    // Telemetry once at start and every 4th sample (60 s); installed apps at start and then, at
    // every 6th loop report, only when the list changed or a day passed; a speed test with the
    // first loop report, then once a day.
    const Checkpoint checkpoints[] = {
        {0, 1, 1, 0},     {59, 1, 1, 0},     {60, 2, 1, 1},     {359, 6, 1, 1},
        {360, 7, 1, 1},   {1859, 31, 1, 1},  {1860, 32, 1, 1},  {3660, 62, 1, 1},
    };
    monitor.start();
    qint64 at = 0;
    for (const Checkpoint &c : checkpoints) {
        runFor(std::chrono::seconds(c.at - at));
        at = c.at;
        EXPECT_EQ(samples.count(), 1 + c.at / 15) << "at " << c.at;
        EXPECT_EQ(api.telemetry.size(), c.telemetry) << "at " << c.at;
        EXPECT_EQ(api.installedApps.size(), c.installedApps) << "at " << c.at;
        EXPECT_EQ(api.speedTestRuns, c.speedTests) << "at " << c.at;
    }
    EXPECT_EQ(monitor.lastSpeedTest(), (SpeedTestResult{50, 10, 20}));
    runFor(std::chrono::hours(24));
    EXPECT_EQ(api.installedApps.size(), 2) << "the unchanged list goes again as the daily refresh";
}

TEST_F(SystemMonitorTest, SpeedTestOnceADayOrOnANewNetworkAndNeverWhenItCannotHelp)
{
    api.speedTests = {SpeedTestResult{50, 10, 20}, SpeedTestResult{60, 12, 22}, SpeedTestResult{70, 14, 24}};
    source.network.primaryInterface = QStringLiteral("eth0");
    monitor.start();
    runFor(60s);
    EXPECT_EQ(api.speedTestRuns, 1);
    source.network.primaryInterface = QStringLiteral("wlan0");
    runFor(60s);
    EXPECT_EQ(api.speedTestRuns, 2) << "the machine moved to another network";

    // A restart within the day costs no new test.
    monitor.stop();
    SystemMonitor restarted{{source, workspace, api, settings, directory, identity, clock}};
    restarted.start();
    runFor(120s);
    restarted.stop();
    EXPECT_EQ(api.speedTestRuns, 2);

    monitor.start();
    settings.defaults().setValue(FleetSettingsKeys::lowDataMode, true);
    runFor(std::chrono::hours(25));
    EXPECT_EQ(api.speedTestRuns, 2) << "never on its own in low-data mode";
    settings.defaults().setValue(FleetSettingsKeys::lowDataMode, false);
    settings.defaults().setValue(FleetSettingsKeys::systemHealthReporting, false);
    runFor(120s);
    EXPECT_EQ(api.speedTestRuns, 2) << "nothing to report it with";
    settings.defaults().setValue(FleetSettingsKeys::systemHealthReporting, true);
    runFor(120s);
    EXPECT_EQ(api.speedTestRuns, 3) << "a day has passed";
}

TEST_F(SystemMonitorTest, RetriesASpeedTestThatGaveNoResultAfterTheNextReport)
{
    monitor.start();
    runFor(60s);
    EXPECT_EQ(api.speedTestRuns, 1);
    EXPECT_FALSE(monitor.lastSpeedTest());
    api.speedTests = {SpeedTestResult{93.456, 12.344, 18.006}};
    runFor(60s);
    EXPECT_EQ(api.speedTestRuns, 2);
    runFor(60s);
    EXPECT_EQ(api.speedTestRuns, 2) << "a result holds for a day";
    EXPECT_DOUBLE_EQ(api.telemetry.last().speedDownloadMbps.value_or(0), 93.46);
}

TEST_F(SystemMonitorTest, LowDataModeTakesEffectFromTheNextIteration)
{
    monitor.start();
    settle();
    EXPECT_EQ(clock.nextWakeIn(), 15s);
    defaults.setValue(keys::lowDataMode, true);
    runFor(15s); // this sleep was already chosen; the next one is long
    EXPECT_EQ(clock.nextWakeIn(), 60s);

    // Sample 1 came at 15 s; with a divisor of 6 the report comes with sample 6, at 315 s.
    runFor(299s);
    EXPECT_EQ(api.telemetry.size(), 1);
    runFor(1s);
    EXPECT_EQ(api.telemetry.size(), 2);
    EXPECT_EQ(samples.count(), 7);

    defaults.setValue(keys::lowDataMode, false);
    EXPECT_EQ(clock.nextWakeIn(), 60s);
    runFor(60s);
    EXPECT_EQ(clock.nextWakeIn(), 15s);
    runFor(45s); // samples 2, 3 and 4 of the short period
    EXPECT_EQ(api.telemetry.size(), 3);
}

TEST_F(SystemMonitorTest, SamplesWithoutReportingWhileFleetReportingIsOff)
{
    defaults.setValue(keys::fleetReportingEnabled, false);
    monitor.start();
    clock.advance(600s);
    EXPECT_EQ(samples.count(), 41);
    EXPECT_EQ(api.telemetry.size(), 0);
    EXPECT_EQ(api.installedApps.size(), 0);
    EXPECT_EQ(api.speedTestRuns, 0);
}

TEST_F(SystemMonitorTest, StopEndsTheLoop)
{
    monitor.start();
    monitor.stop();
    EXPECT_EQ(clock.sleeperCount(), 0u);
    clock.advance(120s);
    EXPECT_EQ(samples.count(), 1);
    monitor.start(); // counters restart with the new run
    EXPECT_EQ(samples.count(), 2);
    EXPECT_EQ(api.telemetry.size(), 2);
}

TEST_F(SystemMonitorTest, ReportsOnlyWhatItsSwitchesAndPairingAllow)
{
    struct Case {
        const char *name;
        bool health, appState, configured;
        bool wantTelemetry, wantInstalled;
    };
    const Case cases[] = {
        {"all allowed", true, true, true, true, true},
        {"system health off", false, true, true, false, true},
        {"app state off", true, false, true, true, false},
        {"not paired", true, true, false, false, false},
    };
    for (const Case &c : cases) {
        clock.advance(std::chrono::hours(24)); // a day apart: the unchanged app list is due again
        defaults.setValue(keys::systemHealthReporting, c.health);
        defaults.setValue(keys::appStateReporting, c.appState);
        api.configured = c.configured;
        api.telemetry.clear();
        api.installedApps.clear();
        EXPECT_EQ(QCoro::waitFor(monitor.reportTelemetry()), c.wantTelemetry) << c.name;
        EXPECT_EQ(QCoro::waitFor(monitor.reportInstalledApps()), c.wantInstalled) << c.name;
        EXPECT_EQ(api.telemetry.size(), c.wantTelemetry ? 1 : 0) << c.name;
        EXPECT_EQ(api.installedApps.size(), c.wantInstalled ? 1 : 0) << c.name;
    }
}

TEST_F(SystemMonitorTest, SendsTheSerialThePolicySyncAndTheInstalledApps)
{
    defaults.setValue(QStringLiteral("lastPolicySyncTimestamp"), 1772443800.0);
    monitor.refresh();
    ASSERT_TRUE(QCoro::waitFor(monitor.reportTelemetry()));
    ASSERT_TRUE(QCoro::waitFor(monitor.reportInstalledApps()));
    EXPECT_EQ(api.telemetry.first().serial, QStringLiteral("VW-TEST-0001"));
    EXPECT_EQ(api.telemetry.first().lastPolicySync, QDateTime(QDate(2026, 3, 2), QTime(9, 30), QTimeZone::utc()));
    ASSERT_EQ(api.installedApps.first().size(), 1);
    EXPECT_EQ(api.installedApps.first().first().bundleId, capture);
}

TEST_F(SystemMonitorTest, LogsFailedReports)
{
    test::LogCapture log;
    api.failWith = APIError::serverError(QStringLiteral("Server error (502)"));
    EXPECT_FALSE(QCoro::waitFor(monitor.reportTelemetry()));
    EXPECT_FALSE(QCoro::waitFor(monitor.reportInstalledApps()));
    EXPECT_EQ(log.messages(QStringLiteral("fleet")),
              (QStringList{QStringLiteral("Telemetry report failed: Server error (502)"),
                           QStringLiteral("Installed app report failed: Server error (502)")}));
}

TEST_F(SystemMonitorTest, ListsFamilyAppsByNameWithTheirProcessFigures)
{
    workspace.running = {app(print, 20, QStringLiteral("Lumora Print")), app(QStringLiteral("org.mozilla.firefox"), 30, {}),
                         app(capture, 10, QString())};
    source.processes[10] = ProcessFigures{10.0, 50ULL << 20, std::nullopt};
    source.processes[20] = ProcessFigures{4.0, 3ULL << 20, std::nullopt};
    monitor.refresh();
    ASSERT_EQ(monitor.appSnapshots().size(), 2);
    EXPECT_EQ(monitor.appSnapshots()[0].name, QStringLiteral("Lumora Print"));
    EXPECT_EQ(monitor.appSnapshots()[1].name, capture.section(QLatin1Char('.'), -1));
    EXPECT_EQ(monitor.appSnapshots()[0].cpuPercent, 0) << "first sample of a process";

    clock.advance(15s);
    source.processes[10].cpuSeconds = 13.0;   // 3 s in 15 s
    source.processes[20].cpuSeconds = 1000.0; // more than 4 cores can give
    monitor.refresh();
    EXPECT_DOUBLE_EQ(monitor.appSnapshots()[1].cpuPercent, 20);
    EXPECT_DOUBLE_EQ(monitor.appSnapshots()[1].memoryMB, 50);
    EXPECT_DOUBLE_EQ(monitor.appSnapshots()[0].cpuPercent, 400);
}

TEST_F(SystemMonitorTest, AHungAppShowsFromThePassAfterTheProbe)
{
    workspace.running = {app(capture, 10, QStringLiteral("Lumora Capture")),
                         app(print, 20, QStringLiteral("Lumora Print"), /*finished=*/false)};
    source.setUnresponsive(10, true);
    QSignalSpy probed(&monitor, &SystemMonitor::responsivenessChanged);

    monitor.refresh();
    EXPECT_EQ(monitor.hungApps(), QStringList{print}) << "still launching counts as not responding";
    ASSERT_TRUE(probed.wait(5000));
    monitor.refresh();
    EXPECT_EQ(monitor.hungApps(), (QStringList{capture, print}));
    EXPECT_EQ(QCoro::waitFor(monitor.reportTelemetry()), true);
    EXPECT_EQ(api.telemetry.first().hungApps.value_or(QStringList()).size(), 2);

    source.setUnresponsive(10, false);
    monitor.refresh(); // its probe supersedes the one still in flight
    EXPECT_EQ(monitor.hungApps(), (QStringList{capture, print})) << "until a probe says otherwise";
    ASSERT_TRUE(probed.wait(5000));
    monitor.refresh();
    EXPECT_EQ(monitor.hungApps(), QStringList{print});
}

TEST_F(SystemMonitorTest, OnlyTheNewestProbeIsTakenIn)
{
    workspace.running = {app(capture, 10, QStringLiteral("Lumora Capture"))};
    source.scriptResponses(10, {false, true}); // the superseded probe finds it hung, the newest responding
    QSignalSpy probed(&monitor, &SystemMonitor::responsivenessChanged);
    monitor.refresh();
    monitor.refresh(); // supersedes the first probe
    // The probes run one after the other on one thread and their results arrive in that
    // order, so when the newest is taken in the superseded one has been dealt with.
    ASSERT_TRUE(probed.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(source.timesAsked(10), 2);
    EXPECT_EQ(probed.count(), 1) << "the superseded verdict was taken in as well";
    monitor.refresh();
    ASSERT_EQ(monitor.appSnapshots().size(), 1);
    EXPECT_TRUE(monitor.appSnapshots().first().isResponding);
    EXPECT_TRUE(monitor.hungApps().isEmpty());
}

} // namespace
} // namespace vesk
