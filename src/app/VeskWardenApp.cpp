#include "app/VeskWardenApp.h"

#include "alerts/AlertService.h"
#include "alerts/PushChannel.h"
#include "app/AppDelegate.h"
#include "settings/FleetSettingsStore.h"
#include "app/WardenHeartbeatManager.h"
#include "commands/CommandPoller.h"
#include "local/SystemPermissions.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"
#include "monitor/SystemMonitor.h"
#include "policy/PolicyEngine.h"
#include "updates/UpdateService.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

using namespace std::chrono_literals;

namespace vesk {

namespace {
constexpr auto kLaunchDelay = 1000ms;
constexpr auto kWatchdogPeriod = 60s;
} // namespace

VeskWardenApp::VeskWardenApp(FleetSettingsStore &settings, WardenHeartbeatManager &heartbeatManager,
                             Clock &clock, Services services, QObject *parent)
    : QObject(parent), m_settings(settings), m_heartbeatManager(heartbeatManager), m_clock(clock),
      m_services(services)
{
    // Construction starts nothing; only the registration defaults are put in place.
    m_settings.registerFleetDefaults();
}

VeskWardenApp::~VeskWardenApp()
{
    shutdown();
}

void VeskWardenApp::launch()
{
    startAfterLaunch(m_lifetime.token());
    watchdogLoop(m_lifetime.token());
}

void VeskWardenApp::shutdown()
{
    m_lifetime.requestStop();
    stopServices();
}

void VeskWardenApp::startServices()
{
    if (m_servicesStarted)
        return;
    m_servicesStarted = true;
    qCInfo(lcApp) << "Starting services";

    // The order below is the agent's start-up order; each service joins at its place.
    // 1. One upload-credential scan and tenant sync before anything talks to the fleet.
    m_heartbeatManager.runCredentialPass();
    // 2. Command poller.
    if (m_services.commandPoller)
        m_services.commandPoller->start();
    // 3. Policy engine.
    if (m_services.policyEngine)
        m_services.policyEngine->start();
    // 4. Update service.
    if (m_services.updateService)
        m_services.updateService->start();
    // 5. System monitor.
    if (m_services.systemMonitor)
        m_services.systemMonitor->start();
    // 6. Folder retention.
    if (m_services.folderRetention)
        m_services.folderRetention->start();
    // 7. Share monitor.
    if (m_services.shareMonitor)
        m_services.shareMonitor->start();
    // 8. Alert service, over the monitor's samples.
    if (m_services.alertService && m_services.systemMonitor)
        m_services.alertService->start(*m_services.systemMonitor);
    // 9. Permission check.
    if (m_services.permissions)
        m_services.permissions->startRefresh();
    // 10. Hand the alert service and command poller to the application delegate.
    if (m_services.appDelegate && m_services.commandPoller) {
        QPointer<CommandPoller> poller(m_services.commandPoller);
        m_services.appDelegate->setCommandPoller([poller] {
            if (poller)
                poller->pollOnce();
        });
    }
    if (m_services.appDelegate && m_services.alertService) {
        QPointer<AlertService> alerts(m_services.alertService);
        m_services.appDelegate->setAlertService([alerts](const QString &hexToken) {
            if (!alerts)
                return;
            alerts->setCachedPushToken(hexToken);
            alerts->registerPushToken();
        });
    }
    // The push channel once the delegate can take its token and its pushes.
    if (m_services.pushChannel)
        m_services.pushChannel->start();
    // 11. Notification authorisation request.
    // 12. Heartbeat manager, last.
    m_heartbeatManager.start();
    emit servicesStartedChanged(true);
}

void VeskWardenApp::stopServices()
{
    if (!m_servicesStarted)
        return;
    m_servicesStarted = false;
    qCInfo(lcApp) << "Stopping services";
    // Poller, policy engine and updates first, then the monitor, retention, shares and
    // alerts; the heartbeat manager last.
    if (m_services.commandPoller)
        m_services.commandPoller->stop();
    if (m_services.policyEngine)
        m_services.policyEngine->stop();
    if (m_services.updateService)
        m_services.updateService->stop();
    if (m_services.systemMonitor)
        m_services.systemMonitor->stop();
    if (m_services.folderRetention)
        m_services.folderRetention->stop();
    if (m_services.shareMonitor)
        m_services.shareMonitor->stop();
    if (m_services.alertService)
        m_services.alertService->stop();
    if (m_services.pushChannel)
        m_services.pushChannel->stop();
    m_heartbeatManager.stop();
    emit servicesStartedChanged(false);
}

void VeskWardenApp::restartServices()
{
    stopServices();
    startServices();
}

void VeskWardenApp::startIfAutoStart()
{
    if (!m_servicesStarted && m_settings.autoStartServices())
        startServices();
}

QCoro::Task<> VeskWardenApp::startAfterLaunch(StopToken token)
{
    QPointer<VeskWardenApp> self(this);
    const bool waited = co_await m_clock.sleep(kLaunchDelay, token);
    if (!waited || !self)
        co_return;
    self->startIfAutoStart();
}

QCoro::Task<> VeskWardenApp::watchdogLoop(StopToken token)
{
    QPointer<VeskWardenApp> self(this);
    Clock &clock = m_clock;
    for (;;) {
        const bool waited = co_await clock.sleep(kWatchdogPeriod, token);
        if (!waited || !self)
            co_return;
        FleetSettingsStore &settings = self->m_settings;
        if (settings.autoRestartServices() && settings.autoStartServices() && !self->m_servicesStarted) {
            qCInfo(lcApp) << "Watchdog found the services stopped; starting them";
            self->startServices();
        }
    }
}

} // namespace vesk
