// The system monitor alone on the real platform objects at its default periods, for the
// footprint script while the monitor is not yet part of vesk-warden's start-up. Samples every
// 15 s with every switch on; the fleet is never configured, so nothing is sent.
#include "settings/FleetSettingsStore.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetReportingApi.h"
#include "monitor/SystemMonitor.h"
#include "platform/DefaultsStore.h"
#include "platform/MachineIdentity.h"
#include "platform/linux/LinuxSystemInfoSource.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/SignalWatcher.h"
#include "platform/linux/SystemClock.h"

#include <QCoreApplication>
#include <QDir>

#include "MonitorBenchFakes.h"

using namespace vesk;
using namespace vesk::bench;

namespace {


} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList folders = qEnvironmentVariable("VESK_APPLICATIONS").split(QLatin1Char(':'), Qt::SkipEmptyParts);

    SystemClock clock;
    Defaults defaults;
    FleetSettingsStore settings(defaults, clock);
    settings.registerFleetDefaults();
    defaults.setValue(QStringLiteral("foregroundAppReporting"), true);
    defaults.setValue(QStringLiteral("sensitiveTelemetryEnabled"), true);
    LinuxSystemInfoSource source;
    LinuxWorkspace workspace(folders);
    PlatformPaths paths = PlatformPaths::underRoot(QDir::tempPath());
    paths.applicationDirs = folders;
    FleetAppDirectory directory(workspace, clock, paths);
    NoFleet fleet;
    Identity identity;
    SystemMonitor monitor({source, workspace, fleet, settings, directory, identity, clock});

    SignalWatcher termination({SIGTERM, SIGINT});
    QObject::connect(&termination, &SignalWatcher::received, &app, [] { QCoreApplication::quit(); });
    monitor.start();
    const int status = QCoreApplication::exec();
    monitor.stop();
    return status;
}
