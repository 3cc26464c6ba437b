#include "fleetd/cli/FleetdMain.h"

#include "fleetd/cli/CommandLine.h"
#include "fleetd/cli/InstalledAppsCommand.h"
#include "fleetd/cli/MachineMoveCommand.h"
#include "fleetd/cli/AlertsCommand.h"
#include "fleetd/cli/MachinesCommand.h"
#include "fleetd/cli/PolicyAssignCommand.h"
#include "fleetd/cli/PolicyCommands.h"
#include "fleetd/cli/PushCommand.h"
#include "fleetd/cli/QueueCommands.h"
#include "fleetd/cli/ReleaseCommand.h"
#include "fleetd/cli/SecretCommands.h"
#include "fleetd/cli/ServeCommand.h"
#include "fleetd/cli/TelemetryCommand.h"
#include "fleetd/cli/TenantCommands.h"

namespace vesk::fleetd {

int fleetdMain(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (!commandLine.error.isEmpty()) {
        err << "vesk-fleetd: " << commandLine.error << "\nRun 'vesk-fleetd --help' for usage." << Qt::endl;
        return 2;
    }
    switch (commandLine.command) {
    case CommandLine::Command::Help:
        out << CommandLine::helpText() << Qt::flush;
        return 0;
    case CommandLine::Command::Serve:
        return runServeCommand(commandLine.listen, commandLine.dbPath, commandLine.serve, out, err);
    case CommandLine::Command::Machines:
        return runMachinesCommand(commandLine.dbPath, out, err);
    case CommandLine::Command::TenantAdd:
        return runTenantAdd(commandLine, out, err);
    case CommandLine::Command::EventAdd:
        return runEventAdd(commandLine, out, err);
    case CommandLine::Command::SecretIssue:
    case CommandLine::Command::SecretRotate:
    case CommandLine::Command::SecretRevoke:
    case CommandLine::Command::SecretList:
        return runSecretCommand(commandLine, out, err);
    case CommandLine::Command::CommandQueue:
        return runCommandQueue(commandLine, out, err);
    case CommandLine::Command::CommandList:
        return runCommandList(commandLine, out, err);
    case CommandLine::Command::ReleasePublish:
        return runReleasePublish(commandLine, out, err);
    case CommandLine::Command::PolicyAssign:
        return runPolicyAssign(commandLine, out, err);
    case CommandLine::Command::PolicySave:
        return runPolicySave(commandLine, out, err);
    case CommandLine::Command::PolicyList:
        return runPolicyList(commandLine, out, err);
    case CommandLine::Command::Telemetry:
        return runTelemetryCommand(commandLine, out, err);
    case CommandLine::Command::InstalledApps:
        return runInstalledAppsCommand(commandLine, out, err);
    case CommandLine::Command::MachineMove:
        return runMachineMove(commandLine, out, err);
    case CommandLine::Command::PushTest:
        return runPushTest(commandLine, out, err);
    case CommandLine::Command::AlertsList:
        return runAlertsList(commandLine, out, err);
    }
    return 2;
}

} // namespace vesk::fleetd
