#pragma once

#include "commands/AppActions.h"
#include "commands/CommandDeferral.h"
#include "commands/CommandParams.h"
#include "commands/CommandResult.h"
#include "commands/ComputerRestart.h"
#include "commands/LogCollector.h"
#include "wire/FleetCommand.h"
#include "platform/StopToken.h"

#include <QHash>
#include <QLocale>

#include <qcoro/qcorotask.h>

namespace vesk {

class Clock;
class FleetSettingsStore;
class MessageCommands;
class PayloadCommands;
class PostCommandReports;
class UpdateCommands;

// The fourteen fleet commands: the machine's switches first, then one handler per
// command name, looked up in a table. Every handler answers with a result; none throws.
//
// The handlers read what they need from this object before their first suspension and
// never touch it afterwards, so a command finishes safely even if the poller went away.
class CommandHandlers {
public:
    struct Dependencies {
        FleetSettingsStore &settings;
        Clock &clock;
        AppActions apps;
        ComputerRestart restart;
        LogCollector logs;
        PostCommandReports &reports;
        PayloadCommands &payloads;
        MessageCommands &messages;
        QLocale locale;
    };

    explicit CommandHandlers(Dependencies deps);

    // Without an update service "update_app" answers "Update service not available".
    void setUpdateCommands(UpdateCommands *updates) { m_updates = updates; }

    // The switches' refusal, else the named handler's result.
    QCoro::Task<CommandResult> run(FleetCommand command, StopToken token);

    // Commands refused while "appManagementEnabled" is off.
    static bool isAppManagementCommand(const QString &name);
    // Commands whose success is followed by fresh installed-apps and telemetry reports.
    static bool changesInstalledOrRunningApps(const QString &name);

private:
    using Handler = QCoro::Task<CommandResult> (CommandHandlers::*)(qint64, CommandParams, StopToken);
    static const QHash<QString, Handler> &table();

    std::optional<CommandResult> refusal(const QString &name) const;

    QCoro::Task<CommandResult> restartComputer(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> quitApp(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> launchApp(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> restartApp(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> updateApp(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> scheduleUpdate(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> pinVersion(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> unpinVersion(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> collectLogs(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> reportApps(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> showMessage(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> clearMessage(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> deployPayload(qint64 id, CommandParams params, StopToken token);
    QCoro::Task<CommandResult> restorePayloadBackup(qint64 id, CommandParams params, StopToken token);

    FleetSettingsStore &m_settings;
    AppActions m_apps;
    ComputerRestart m_restart;
    LogCollector m_logs;
    PostCommandReports &m_reports;
    PayloadCommands &m_payloads;
    MessageCommands &m_messages;
    CommandDeferral m_deferral;
    UpdateCommands *m_updates = nullptr;
};

} // namespace vesk
