#pragma once

#include "alerts/AlertReportingApi.h"
#include "alerts/AlertService.h"
#include "alerts/PushChannel.h"
#include "app/AppDelegate.h"
#include "app/ShareAlertBridge.h"
#include "app/UpdateAlertBridge.h"
#include "app/VeskWardenApp.h"
#include "commands/CommandPoller.h"
#include "commands/FleetAPICommandChannel.h"
#include "commands/MonitorPostCommandReports.h"
#include "commands/messages/RemoteMessageController.h"
#include "commands/payload/PayloadService.h"
#include "commands/payload/WorkspaceAppLifecycle.h"
#include "local/SystemPermissions.h"
#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"
#include "monitor/FleetAppDirectory.h"
#include "monitor/FleetClientReporting.h"
#include "monitor/SystemMonitor.h"
#include "policy/PolicyEngine.h"
#include "updates/AppInstaller.h"
#include "updates/SelfUpdater.h"
#include "updates/UpdateService.h"

#include <functional>
#include <memory>

namespace vesk {

class AccessProbe;
class BundleSwap;
class HttpTransport;
class KeychainStore;
class MachineControl;
class MachineIdentity;
class Notifier;
class ProcessRunner;
class RemoteMessagePresenter;
class ShareMounter;
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
        // App updates: release downloads and the one-step bundle swap.
        HttpTransport &http;
        BundleSwap &bundleSwap;
        // Local maintenance: share passwords, share mounting, the folders no cleanup may name.
        KeychainStore &keychain;
        ShareMounter &shareMounter;
        ProtectedFolders protectedFolders;
        // The desktop's notifications; the alert service announces through it.
        Notifier &notifier;
        // The permission check's real access tests.
        const AccessProbe &accessProbe;
        // The agent's own update: which bundle it runs from, and its restart.
        AgentRelaunch &relaunch;
        OwnAgent ownAgent;
    };

    AgentServiceSet(Platform platform, FleetSettingsStore &settings, FleetAPIClient &api);
    ~AgentServiceSet();

    VeskWardenServices services()
    {
        return {&commandPoller, &systemMonitor, &appDelegate, &policyEngine, &updates,
                &folderRetention, &shareMonitor, &alerts, &pushChannel, &permissions};
    }

    FleetAppDirectory appDirectory;
    FleetClientReporting monitorApi;
    SystemMonitor systemMonitor;
    FleetAPICommandChannel commandChannel;
    MonitorPostCommandReports postCommandReports;
    WorkspaceAppLifecycle payloadApps;
    PayloadService payloads;
    RemoteMessageController messages;
    CommandPoller commandPoller;
    // Before the policy engine, which hands them the policy's rules and shares.
    FolderRetentionService folderRetention;
    NetworkShareMonitor shareMonitor;
    PolicyEngine policyEngine;
    AppInstaller appInstaller;
    UpdateService updates;
    SelfUpdater selfUpdater;
    AppDelegate appDelegate;
    FleetClientAlertReporting alertApi;
    AlertService alerts;
    ShareAlertBridge shareAlerts;
    UpdateAlertBridge updateAlerts;
    FleetClientPushSessions pushSessions;
    PushChannel pushChannel;
    SystemPermissions permissions;

private:
    QStringList permissionTargets(const QString &home) const;
};

} // namespace vesk
