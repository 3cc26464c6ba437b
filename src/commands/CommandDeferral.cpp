#include "commands/CommandDeferral.h"

#include "settings/FleetSettingsStore.h"
#include "commands/CommandParams.h"
#include "platform/Clock.h"

#include <QTimeZone>

namespace vesk {

namespace {
// A date as a person reads it in a result: abbreviated date and short time in `zone`,
// "Mar 2, 2026 at 9:05 AM" in English.
QString formatForPeople(const QDateTime &date, const QTimeZone &zone, const QLocale &locale)
{
    const QDateTime local = date.toTimeZone(zone);
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(" at ")
         + locale.toString(local.time(), QLocale::ShortFormat);
}
} // namespace

std::optional<CommandResult> CommandDeferral::deferIfScheduled(const QString &command, const CommandParams &params) const
{
    const std::optional<QString> scheduledAt = params.text(QStringLiteral("scheduled_at"));
    if (!scheduledAt)
        return std::nullopt;
    const std::optional<QDateTime> at = CommandParams::internetDateTime(*scheduledAt);
    if (!at)
        return CommandResult::failure(QStringLiteral("Invalid scheduled_at date — use ISO8601"));
    if (*at <= m_clock.now())
        return std::nullopt;

    const std::optional<QString> bundleId = params.nonEmpty(QStringLiteral("bundle_id"));
    if (command == QLatin1String("restart_app") && !bundleId)
        return CommandResult::failure(QStringLiteral("Missing bundle_id parameter"));

    QList<ScheduledDeviceAction> actions = m_settings.scheduledActions();
    actions.append(ScheduledDeviceAction{QUuid::createUuid(), command, bundleId, *at});
    m_settings.setScheduledActions(actions);

    QString text = QStringLiteral("Scheduled ") + command;
    if (bundleId)
        text += QStringLiteral(" for ") + *bundleId;
    text += QStringLiteral(" at ") + formatForPeople(*at, m_clock.timeZone(), m_locale);
    return CommandResult::ok(text);
}

} // namespace vesk
