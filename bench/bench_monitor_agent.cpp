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

using namespace vesk;

namespace {

class Defaults final : public DefaultsStore {
public:
    QVariant object(const QString &key) const override { return m_values.contains(key) ? m_values[key] : m_registered[key]; }
    void setValue(const QString &key, const QVariant &value) override { m_values.insert(key, value); }
    void remove(const QString &key) override { m_values.remove(key); }
    void registerDefaults(const QVariantMap &d) override { m_registered.insert(d); }

private:
    QVariantMap m_values, m_registered;
};

class Identity final : public MachineIdentity {
public:
    QString hardwareSerial() const override { return QStringLiteral("BENCH"); }
    QString hostName() const override { return QStringLiteral("bench"); }
};

class NoFleet final : public FleetReportingApi {
public:
    QCoro::Task<bool> isConfigured() override { co_return false; }
    QCoro::Task<APIStatus> reportTelemetry(TelemetryReport) override { co_return APIStatus(); }
    QCoro::Task<APIStatus> reportInstalledApps(QList<RemoteInstalledApp>) override { co_return APIStatus(); }
    QCoro::Task<APIResult<std::optional<SpeedTestResult>>> runSpeedTest() override
    {
        co_return APIResult<std::optional<SpeedTestResult>>(std::optional<SpeedTestResult>());
    }
};

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
