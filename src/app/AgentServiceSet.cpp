#include "app/AgentServiceSet.h"

#include "commands/messages/RemoteMessagePresenter.h"
#include "platform/MachineIdentity.h"

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
                     postCommandReports, payloads, messages, platform.quitAgent}),
      policyEngine({api, settings, platform.workspace, platform.clock,
                    ComputerRestart(platform.machine, platform.quitAgent), platform.paths.storageDir,
                    platform.identity.serialOrUnknown()}),
      alertApi(api),
      alerts({settings, alertApi, platform.notifier, platform.clock, platform.identity.serialOrUnknown(),
              QStringLiteral("linux")}),
      pushSessions(api), pushChannel({pushSessions, platform.clock, api.baseUrl(), {}})
{
    // The push channel stands in for the platform's push service: its token is registered
    // like one, its pushes are delivered like one, and while it is up polling relaxes.
    QObject::connect(&pushChannel, &PushChannel::tokenReceived, &appDelegate, [this](const QString &hexToken) {
        appDelegate.didRegisterForRemoteNotifications(QByteArray::fromHex(hexToken.toLatin1()));
    });
    QObject::connect(&pushChannel, &PushChannel::notificationReceived, &appDelegate,
                     &AppDelegate::didReceiveRemoteNotification);
    QObject::connect(&pushChannel, &PushChannel::connectedChanged, &commandPoller, &CommandPoller::setPushConnected);
    // The policy engine reads hung, memory and uptime from the monitor's samples.
    policyEngine.attachAppSamples([this] { return systemMonitor.appSnapshots(); });
    // The poller's reports after an app command include a fresh telemetry sample.
    postCommandReports.setSystemMonitor(&systemMonitor);
}

AgentServiceSet::~AgentServiceSet()
{
    commandPoller.stop();
    policyEngine.stop();
    alerts.stop();
    pushChannel.stop();
    systemMonitor.stop();
}

} // namespace vesk
