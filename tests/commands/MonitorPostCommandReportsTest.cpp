// The reports that follow an app command, over the real installed-apps discovery and system
// monitor: they go out whatever the reporting switches say, and telemetry needs a monitor.
#include "FakeFleetReporting.h"
#include "FakeSystemInfoSource.h"
#include "FakeWorkspace.h"
#include "ManualClock.h"
#include "MemoryDefaultsStore.h"

#include "settings/FleetSettingsStore.h"
#include "commands/MonitorPostCommandReports.h"
#include "monitor/FamilyApps.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/SystemMonitor.h"
#include "platform/MachineIdentity.h"

#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class BoothIdentity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("VW-BOOTH-7"); }
    QString hostName() const override { return QStringLiteral("booth-7"); }
};

TEST(MonitorPostCommandReports, PostWithEveryReportingSwitchOffAndSkipTelemetryWithoutAMonitor)
{
    ManualClock clock;
    MemoryDefaultsStore defaults;
    FleetSettingsStore settings{defaults, clock};
    settings.registerFleetDefaults();
    for (const char *key : {"fleetReportingEnabled", "appStateReporting", "systemHealthReporting"})
        defaults.setValue(QString::fromLatin1(key), false);
    FakeSystemInfoSource source;
    FakeWorkspace workspace;
    const QString capture = familyAppTable().at(0).bundleId;
    workspace.install(capture, QStringLiteral("/Applications/Capture.app"));
    FakeFleetReporting api;
    QTemporaryDir root;
    const PlatformPaths paths = PlatformPaths::underRoot(root.path());
    FleetAppDirectory directory{workspace, clock, paths};
    BoothIdentity identity;
    MonitorPostCommandReports reports(directory, api);

    const auto apps = QCoro::waitFor(reports.reportInstalledApps());
    EXPECT_EQ(apps.count, 1);
    EXPECT_FALSE(apps.error);
    ASSERT_EQ(api.installedApps.size(), 1) << "posted although \"appStateReporting\" is off";
    EXPECT_EQ(api.installedApps[0].first().bundleId, capture);

    EXPECT_FALSE(reports.canReportTelemetry());
    EXPECT_EQ(QCoro::waitFor(reports.reportTelemetry()), std::nullopt);
    EXPECT_TRUE(api.telemetry.isEmpty()) << "no monitor, no telemetry";

    {
        SystemMonitor monitor{{source, workspace, api, settings, directory, identity, clock}};
        reports.setSystemMonitor(&monitor);
        ASSERT_TRUE(reports.canReportTelemetry());
        source.uptime = 7200.0; // a fresh sample is taken for the report
        EXPECT_EQ(QCoro::waitFor(reports.reportTelemetry()), std::nullopt);
        ASSERT_EQ(api.telemetry.size(), 1) << "posted although \"systemHealthReporting\" is off";
        EXPECT_EQ(api.telemetry[0].serial, QStringLiteral("VW-BOOTH-7"));
        EXPECT_EQ(api.telemetry[0].uptimeSeconds, 7200);

        api.failWith = APIError::serverError(QStringLiteral("Server error (503)"));
        EXPECT_EQ(QCoro::waitFor(reports.reportTelemetry()), QStringLiteral("Server error (503)"));
        EXPECT_EQ(QCoro::waitFor(reports.reportInstalledApps()).error, QStringLiteral("Server error (503)"));
    }
    EXPECT_FALSE(reports.canReportTelemetry()) << "a released monitor counts as none";
}

} // namespace
} // namespace vesk::test
