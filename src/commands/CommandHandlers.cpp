#include "commands/CommandHandlers.h"

#include "settings/FleetSettingsStore.h"
#include "commands/MessageCommands.h"
#include "commands/PayloadCommands.h"
#include "commands/PinnedVersions.h"
#include "commands/PostCommandReports.h"
#include "commands/ScheduledUpdates.h"
#include "commands/UpdateCommands.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"

#include <QRegularExpression>

namespace vesk {

namespace {

const QString bundleIdKey = QStringLiteral("bundle_id");

CommandResult missingBundleId()
{
    return CommandResult::failure(QStringLiteral("Missing bundle_id parameter"));
}

// A decimal integer with an optional sign that fits 64 bits; anything else is no id.
std::optional<qint64> payloadId(const std::optional<QString> &text)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!text || !decimal.match(*text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 id = text->toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}

} // namespace

CommandHandlers::CommandHandlers(Dependencies deps)
    : m_settings(deps.settings), m_apps(deps.apps), m_restart(deps.restart), m_logs(deps.logs),
      m_reports(deps.reports), m_payloads(deps.payloads), m_messages(deps.messages),
      m_deferral(deps.settings, deps.clock, deps.locale)
{
}

const QHash<QString, CommandHandlers::Handler> &CommandHandlers::table()
{
    static const QHash<QString, Handler> handlers{
        {QStringLiteral("restart"), &CommandHandlers::restartComputer},
        {QStringLiteral("quit_app"), &CommandHandlers::quitApp},
        {QStringLiteral("launch_app"), &CommandHandlers::launchApp},
        {QStringLiteral("restart_app"), &CommandHandlers::restartApp},
        {QStringLiteral("update_app"), &CommandHandlers::updateApp},
        {QStringLiteral("schedule_update"), &CommandHandlers::scheduleUpdate},
        {QStringLiteral("pin_version"), &CommandHandlers::pinVersion},
        {QStringLiteral("unpin_version"), &CommandHandlers::unpinVersion},
        {QStringLiteral("collect_logs"), &CommandHandlers::collectLogs},
        {QStringLiteral("report_apps"), &CommandHandlers::reportApps},
        {QStringLiteral("show_message"), &CommandHandlers::showMessage},
        {QStringLiteral("clear_message"), &CommandHandlers::clearMessage},
        {QStringLiteral("deploy_payload"), &CommandHandlers::deployPayload},
        {QStringLiteral("restore_payload_backup"), &CommandHandlers::restorePayloadBackup},
    };
    return handlers;
}

bool CommandHandlers::isAppManagementCommand(const QString &name)
{
    static const QStringList group{QStringLiteral("quit_app"),     QStringLiteral("launch_app"),
                                   QStringLiteral("restart_app"),  QStringLiteral("update_app"),
                                   QStringLiteral("deploy_payload"), QStringLiteral("restore_payload_backup")};
    return group.contains(name);
}

bool CommandHandlers::changesInstalledOrRunningApps(const QString &name)
{
    static const QStringList group{QStringLiteral("quit_app"), QStringLiteral("launch_app"),
                                   QStringLiteral("restart_app"), QStringLiteral("update_app")};
    return group.contains(name);
}

std::optional<CommandResult> CommandHandlers::refusal(const QString &name) const
{
    if (name == QLatin1String("restart") && !m_settings.remoteCommandsEnabled())
        return CommandResult::failure(QStringLiteral("Remote restart disabled on this machine"));
    if (isAppManagementCommand(name) && !m_settings.appManagementEnabled())
        return CommandResult::failure(QStringLiteral("App management disabled on this machine"));
    return std::nullopt;
}

QCoro::Task<CommandResult> CommandHandlers::run(FleetCommand command, StopToken token)
{
    if (auto refused = refusal(command.command))
        co_return *refused;
    const auto handler = table().constFind(command.command);
    if (handler == table().cend())
        co_return CommandResult::failure(QStringLiteral("Unknown command: ") + command.command);
    const CommandResult result = co_await (this->*(*handler))(command.id, CommandParams(command.params), token);
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::restartComputer(qint64, CommandParams params, StopToken)
{
    if (auto deferred = m_deferral.deferIfScheduled(QStringLiteral("restart"), params))
        co_return *deferred;
    const ComputerRestart restart = m_restart;
    const CommandResult result = co_await restart.run();
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::quitApp(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    if (!id)
        co_return missingBundleId();
    if (m_apps.quitApp(*id))
        co_return CommandResult::ok(QStringLiteral("Quit ") + *id);
    co_return CommandResult::failure(QStringLiteral("App not running: ") + *id);
}

QCoro::Task<CommandResult> CommandHandlers::launchApp(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    if (!id)
        co_return missingBundleId();
    const AppActions apps = m_apps;
    const bool launched = co_await apps.launchApp(*id);
    if (launched)
        co_return CommandResult::ok(QStringLiteral("Launched ") + *id);
    co_return CommandResult::failure(QStringLiteral("Failed to launch: ") + *id);
}

QCoro::Task<CommandResult> CommandHandlers::restartApp(qint64, CommandParams params, StopToken token)
{
    if (auto deferred = m_deferral.deferIfScheduled(QStringLiteral("restart_app"), params))
        co_return *deferred;
    const auto id = params.nonEmpty(bundleIdKey);
    if (!id)
        co_return missingBundleId();
    const AppActions apps = m_apps;
    const CommandResult result = co_await apps.restartApp(*id, token);
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::updateApp(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    if (!id)
        co_return missingBundleId();
    UpdateCommands *updates = m_updates;
    if (!updates)
        co_return CommandResult::failure(QStringLiteral("Update service not available"));
    const auto forApp = [&](const AvailableUpdate &u) { return u.bundleId == *id; };
    QList<AvailableUpdate> available = updates->availableUpdates();
    if (std::none_of(available.cbegin(), available.cend(), forApp)) {
        // The release may be newer than the last five-minute check.
        co_await updates->refreshAvailable();
        available = updates->availableUpdates();
    }
    const auto update = std::find_if(available.cbegin(), available.cend(), forApp);
    if (update == available.cend())
        co_return CommandResult::failure(QStringLiteral("No update available for ") + *id);
    const CommandResult result = co_await updates->update(*update, PinnedVersions::read(m_settings.defaults()));
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::scheduleUpdate(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    const auto at = params.nonEmpty(QStringLiteral("scheduled_at"));
    if (!id || !at)
        co_return CommandResult::failure(QStringLiteral("Missing bundle_id or scheduled_at"));
    const auto when = CommandParams::internetDateTime(*at);
    if (!when)
        co_return CommandResult::failure(QStringLiteral("Invalid scheduled_at date"));
    ScheduledUpdates::setDue(m_settings.defaults(), *id, *when);
    co_return CommandResult::ok(QStringLiteral("Update scheduled for ") + *id + QStringLiteral(" at ") + *at);
}

QCoro::Task<CommandResult> CommandHandlers::pinVersion(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    const auto version = params.nonEmpty(QStringLiteral("version"));
    if (!id || !version)
        co_return CommandResult::failure(QStringLiteral("Missing bundle_id or version"));
    DefaultsStore &defaults = m_settings.defaults();
    QMap<QString, QString> pins = PinnedVersions::read(defaults);
    pins.insert(*id, *version);
    PinnedVersions::write(defaults, pins);
    co_return CommandResult::ok(QStringLiteral("Pinned ") + *id + QStringLiteral(" to v") + *version);
}

QCoro::Task<CommandResult> CommandHandlers::unpinVersion(qint64, CommandParams params, StopToken)
{
    const auto id = params.nonEmpty(bundleIdKey);
    if (!id)
        co_return CommandResult::failure(QStringLiteral("Missing bundle_id"));
    DefaultsStore &defaults = m_settings.defaults();
    QMap<QString, QString> pins = PinnedVersions::read(defaults);
    pins.remove(*id);
    PinnedVersions::write(defaults, pins);
    co_return CommandResult::ok(QStringLiteral("Unpinned ") + *id);
}

QCoro::Task<CommandResult> CommandHandlers::collectLogs(qint64, CommandParams params, StopToken)
{
    const LogCollector logs = m_logs;
    const CommandResult result = co_await logs.collectAndUpload(params.text(bundleIdKey));
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::reportApps(qint64, CommandParams, StopToken)
{
    PostCommandReports &reports = m_reports;
    const PostCommandReports::InstalledAppsReport report = co_await reports.reportInstalledApps();
    if (report.error)
        qCCritical(lcFleet).noquote() << QStringLiteral("Installed app command report failed: ") + *report.error;
    co_return CommandResult::ok(QStringLiteral("Reported %1 installed apps").arg(report.count));
}

QCoro::Task<CommandResult> CommandHandlers::showMessage(qint64 id, CommandParams params, StopToken)
{
    co_return m_messages.showMessage(id, params.texts());
}

QCoro::Task<CommandResult> CommandHandlers::clearMessage(qint64, CommandParams, StopToken)
{
    co_return m_messages.clearMessage();
}

QCoro::Task<CommandResult> CommandHandlers::deployPayload(qint64, CommandParams params, StopToken)
{
    const auto id = payloadId(params.text(QStringLiteral("payload_id")));
    if (!id)
        co_return CommandResult::failure(QStringLiteral("Missing or invalid payload_id parameter"));
    PayloadCommands &payloads = m_payloads;
    const CommandResult result = co_await payloads.deployPayload(*id);
    co_return result;
}

QCoro::Task<CommandResult> CommandHandlers::restorePayloadBackup(qint64, CommandParams params, StopToken)
{
    PayloadCommands &payloads = m_payloads;
    const CommandResult result =
        co_await payloads.restorePayloadBackup(params.text(QStringLiteral("target_path")).value_or(QString()));
    co_return result;
}

} // namespace vesk
