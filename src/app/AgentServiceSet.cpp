#include "app/AgentServiceSet.h"

#include "commands/messages/RemoteMessagePresenter.h"
#include "platform/MachineIdentity.h"
#include "settings/FleetSettingsStore.h"

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
      folderRetention({platform.clock, platform.protectedFolders, platform.paths.homeDir, platform.paths.storageDir}),
      shareMonitor({platform.clock, platform.shareMounter, platform.keychain, platform.paths.storageDir,
                    platform.identity.serialOrUnknown(), [&settings] { return settings.lowDataMode(); }}),
      policyEngine({api, settings, platform.workspace, platform.clock,
                    ComputerRestart(platform.machine, platform.quitAgent), platform.paths.storageDir,
                    platform.identity.serialOrUnknown()})
{
    // The policy engine reads hung, memory and uptime from the monitor's samples.
    policyEngine.attachAppSamples([this] { return systemMonitor.appSnapshots(); });
    // The policy's cleanup rules and shares run beside this machine's own.
    policyEngine.attachFolderRetention(&folderRetention);
    policyEngine.attachShareMonitor(&shareMonitor);
    // The poller's reports after an app command include a fresh telemetry sample.
    postCommandReports.setSystemMonitor(&systemMonitor);
}

AgentServiceSet::~AgentServiceSet()
{
    commandPoller.stop();
    policyEngine.stop();
    systemMonitor.stop();
    folderRetention.stop();
    shareMonitor.stop();
}

} // namespace vesk
