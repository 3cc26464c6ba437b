#include "app/AgentServiceSet.h"

#include "commands/messages/RemoteMessagePresenter.h"
#include "platform/MachineIdentity.h"
#include "settings/FleetSettingsStore.h"
#include "updates/FleetReleaseList.h"

#include <QCoreApplication>

#include <algorithm>

namespace vesk {

AgentServiceSet::AgentServiceSet(Platform platform, FleetSettingsStore &settings, FleetAPIClient &api)
    : appDirectory(platform.workspace, platform.clock, platform.paths), monitorApi(api),
      systemMonitor({platform.systemInfo, platform.workspace, monitorApi, settings, appDirectory, platform.identity,
                     platform.clock}),
      commandChannel(api), postCommandReports(appDirectory, monitorApi),
      payloadApps(platform.workspace, platform.clock),
      payloads({api, payloadApps, platform.clock, platform.paths}),
      messages({settings, commandChannel, platform.clock, std::move(platform.messagePresenter)}),
      commandPoller({commandChannel, settings, platform.clock, platform.workspace, platform.machine,
                     platform.processes, std::move(platform.recentLogs),
                     [&api](QString bundleId, QString logText) {
                         return api.uploadAppLog(std::move(bundleId), std::move(logText));
                     },
                     postCommandReports, payloads, messages, platform.quitAgent,
                     QLocale(QLocale::English, QLocale::UnitedStates), platform.paths.storageDir}),
      folderRetention({platform.clock, platform.protectedFolders, platform.paths.homeDir, platform.paths.storageDir}),
      shareMonitor({platform.clock, platform.shareMounter, platform.keychain, platform.paths.storageDir,
                    platform.identity.serialOrUnknown(), [&settings] { return settings.lowDataMode(); }}),
      policyEngine({api, settings, platform.workspace, platform.clock,
                    ComputerRestart(platform.machine, platform.quitAgent), platform.paths.storageDir,
                    platform.identity.serialOrUnknown()}),
      appInstaller({platform.workspace, payloadApps, platform.clock, platform.bundleSwap, platform.paths}),
      updates({FleetReleaseList(api), settings, platform.http, platform.clock, appInstaller,
               InstalledAppLookup(platform.workspace, platform.paths.applicationsDir()), platform.paths.tempDir}),
      selfUpdater({FleetReleaseList(api), settings.defaults(), platform.http, platform.clock, platform.bundleSwap,
                   platform.workspace, platform.relaunch, platform.ownAgent, qint32(QCoreApplication::applicationPid()),
                   platform.paths.tempDir, platform.paths.storageDir, platform.quitAgent}),
      alertApi(api),
      alerts({settings, alertApi, platform.notifier, platform.clock, platform.identity.serialOrUnknown(),
              QStringLiteral("linux"), platform.paths.storageDir + QStringLiteral("/alert-outbox.json")}),
      shareAlerts(alerts, platform.clock),
      updateAlerts(alerts, platform.clock, platform.identity.serialOrUnknown()),
      pushSessions(api), pushChannel({pushSessions, platform.clock, api.baseUrl(), {}}),
      // Linux keeps no privacy database, so the App Management switch is never read here.
      permissions({platform.accessProbe, platform.paths.applicationDirs, platform.paths.homeDir,
                   [this, home = platform.paths.homeDir] { return permissionTargets(home); }, {},
                   QStringLiteral("com.lumora.VESK-Warden"), QCoreApplication::applicationDirPath()})
{
    // The push channel stands in for the platform's push service: its token is registered
    // like one, its pushes are delivered like one, and while it is up polling relaxes.
    QObject::connect(&pushChannel, &PushChannel::tokenReceived, &appDelegate, [this](const QString &hexToken) {
        appDelegate.didRegisterForRemoteNotifications(QByteArray::fromHex(hexToken.toLatin1()));
    });
    QObject::connect(&pushChannel, &PushChannel::notificationReceived, &appDelegate,
                     &AppDelegate::didReceiveRemoteNotification);
    // On Agent Mode machines the server also pushes the fleet's critical alerts.
    QObject::connect(&pushChannel, &PushChannel::notificationReceived, &alerts, &AlertService::presentFleetAlert);
    QObject::connect(&pushChannel, &PushChannel::connectedChanged, &commandPoller, &CommandPoller::setPushConnected);
    // The policy engine reads hung, memory and uptime from the monitor's samples.
    policyEngine.attachAppSamples([this] { return systemMonitor.appSnapshots(); });
    // The policy's cleanup rules and shares run beside this machine's own.
    policyEngine.attachFolderRetention(&folderRetention);
    policyEngine.attachShareMonitor(&shareMonitor);
    // A share that keeps failing raises a network alert; the alert service reports it.
    shareMonitor.setAlertSink(&shareAlerts);
    // The poller's reports after an app command include a fresh telemetry sample.
    postCommandReports.setSystemMonitor(&systemMonitor);
    // "update_app", due scheduled updates and the automatic pass install through the update
    // service; a reopened app must keep answering the hang probes through its grace period.
    commandPoller.setUpdateCommands(&updates);
    policyEngine.attachUpdateService(&updates);
    // An automatic revert reaches the alert feed, not only the command result and the log.
    appInstaller.setRevertSink(&updateAlerts);
    // After each availability check the loop decides on the agent's own update.
    updates.attachSelfUpdater(&selfUpdater);
    appInstaller.setResponding([this](const QString &bundleId) {
        const QList<AppSnapshot> samples = systemMonitor.appSnapshots();
        return std::none_of(samples.cbegin(), samples.cend(),
                            [&](const AppSnapshot &s) { return s.bundleId == bundleId && !s.isResponding; });
    });
}

QStringList AgentServiceSet::permissionTargets(const QString &home) const
{
    // What the agent must read: the folders its cleanup rules name and the shares it mounted.
    QStringList targets;
    for (const QList<RetentionRule> *rules : {&folderRetention.rules(), &folderRetention.policyRules()}) {
        for (const RetentionRule &rule : *rules) {
            QString folder = rule.folderPath;
            if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
                folder = home + folder.mid(1);
            targets << folder;
        }
    }
    for (const QList<MonitoredShare> *shares : {&shareMonitor.shares(), &shareMonitor.policyShares()}) {
        for (const MonitoredShare &share : *shares) {
            const std::optional<ShareHealth> health = shareMonitor.health(share.id);
            if (health && health->mountPoint)
                targets << *health->mountPoint;
        }
    }
    return targets;
}

AgentServiceSet::~AgentServiceSet()
{
    commandPoller.stop();
    policyEngine.stop();
    updates.stop();
    alerts.stop();
    pushChannel.stop();
    systemMonitor.stop();
    folderRetention.stop();
    shareMonitor.stop();
}

} // namespace vesk
