#pragma once

#include "platform/StopToken.h"

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

namespace vesk {

class AlertService;
class AppDelegate;
class Clock;
class CommandPoller;
class FleetSettingsStore;
class FolderRetentionService;
class NetworkShareMonitor;
class PolicyEngine;
class PushChannel;
class SystemMonitor;
class SystemPermissions;
class UpdateService;
class WardenHeartbeatManager;

// The long-lived services the agent runs; each joins start-up in its place once built.
struct VeskWardenServices {
    CommandPoller *commandPoller = nullptr;
    SystemMonitor *systemMonitor = nullptr;
    // Receives the command poller once the services run, for the push path.
    AppDelegate *appDelegate = nullptr;
    PolicyEngine *policyEngine = nullptr;
    UpdateService *updateService = nullptr;
    FolderRetentionService *folderRetention = nullptr;
    NetworkShareMonitor *shareMonitor = nullptr;
    AlertService *alertService = nullptr;
    PushChannel *pushChannel = nullptr;
    SystemPermissions *permissions = nullptr;
};

// The agent's service set: built once, started in a fixed order, stopped in a fixed
// order, restarted by the watchdog while auto-restart is on.
class VeskWardenApp : public QObject {
    Q_OBJECT
public:
    using Services = VeskWardenServices;

    VeskWardenApp(FleetSettingsStore &settings, WardenHeartbeatManager &heartbeatManager, Clock &clock,
                  Services services = {}, QObject *parent = nullptr);
    ~VeskWardenApp() override;

    // The launch sequence: services start about a second later when auto-start is on,
    // and the watchdog begins its 60-second rounds.
    void launch();
    // Ends the launch timer and the watchdog and stops the services (process exit).
    void shutdown();

    void startServices();
    void stopServices();
    void restartServices();
    bool servicesStarted() const { return m_servicesStarted; }

signals:
    void servicesStartedChanged(bool started);

private:
    QCoro::Task<> startAfterLaunch(StopToken token);
    QCoro::Task<> watchdogLoop(StopToken token);
    void startIfAutoStart();

    FleetSettingsStore &m_settings;
    WardenHeartbeatManager &m_heartbeatManager;
    Clock &m_clock;
    Services m_services;
    StopSource m_lifetime;
    bool m_servicesStarted = false;
};

} // namespace vesk
