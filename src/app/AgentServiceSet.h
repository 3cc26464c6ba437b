#pragma once

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "alerts/PushChannel.h"
#include "app/AppDelegate.h"
#include "app/VeskWardenApp.h"
#include "commands/CommandPoller.h"
#include "commands/FleetAPICommandChannel.h"
#include "commands/MonitorPostCommandReports.h"
#include "commands/messages/RemoteMessageController.h"
#include "commands/payload/PayloadService.h"
#include "commands/payload/WorkspaceAppLifecycle.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetClientReporting.h"
#include "monitor/SystemMonitor.h"
#include "policy/PolicyEngine.h"

#include <functional>
#include <memory>

namespace vesk {

class MachineControl;
class MachineIdentity;
class Notifier;
class ProcessRunner;
class RemoteMessagePresenter;
class SystemInfoSource;

// Every long-lived service of a running agent, built once over the platform's objects and
// wired to one another; start-up starts and stops them through services().
class AgentServiceSet {
public:
    struct Platform {
        Clock &clock;
        Workspace &workspace;
        SystemInfoSource &systemInfo;
        ProcessRunner &processes;
        MachineControl &machine;
        RecentLogQuery recentLogs;
        MachineIdentity &identity;
        PlatformPaths paths;
        // The administrator's message on screen; none without a display.
        std::unique_ptr<RemoteMessagePresenter> messagePresenter;
        // Ends the agent once the machine accepted a restart.
        std::function<void()> quitAgent;
        // The desktop's notifications; the alert service announces through it.
        Notifier &notifier;
    };

    AgentServiceSet(Platform platform, FleetSettingsStore &settings, FleetAPIClient &api);
    ~AgentServiceSet();

    VeskWardenServices services() { return {&commandPoller, &systemMonitor, &appDelegate, &policyEngine, &alerts, &pushChannel}; }

    FleetAppDirectory appDirectory;
    FleetClientReporting monitorApi;
    SystemMonitor systemMonitor;
    FleetAPICommandChannel commandChannel;
    MonitorPostCommandReports postCommandReports;
    WorkspaceAppLifecycle payloadApps;
    PayloadService payloads;
    RemoteMessageController messages;
    CommandPoller commandPoller;
    PolicyEngine policyEngine;
    AppDelegate appDelegate;
    FleetClientAlertReporting alertApi;
    AlertService alerts;
    FleetClientPushSessions pushSessions;
    PushChannel pushChannel;
};

} // namespace vesk
