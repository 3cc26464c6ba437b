#include "console/PolicySummary.h"

#include "console/ConsoleTexts.h"

#include <QCoreApplication>
#include <QLocale>

namespace vesk::PolicySummary {

namespace {
QString tr(const char *text, int n = -1)
{
    return QCoreApplication::translate("PolicySummary", text, nullptr, n);
}

QString clock(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

QString updateMode(UpdatePolicy::Mode mode)
{
    switch (mode) {
    case UpdatePolicy::Mode::automatic:
        return tr("automatic");
    case UpdatePolicy::Mode::localAllowed:
        return tr("local installs allowed");
    case UpdatePolicy::Mode::adminApproved:
        break;
    }
    return tr("admin approved only");
}
} // namespace

QStringList lines(const std::optional<DevicePolicy> &policy)
{
    if (!policy)
        return {ConsoleTexts::noPolicy};
    const DevicePolicy &p = *policy;
    QStringList out{tr("Policy in force: %1").arg(p.name)};
    if (p.restartSchedule.enabled)
        out.append(tr("Scheduled restart at %1").arg(clock(p.restartSchedule.hour, p.restartSchedule.minute)));
    for (const KeepAliveRule &rule : p.keepAliveRules)
        out.append(tr("Keep alive \"%1\": %2").arg(rule.name, rule.bundleIds.join(QStringLiteral(", "))));
    for (const AppRestartRule &rule : p.appRestartRules) {
        out.append(rule.trigger == AppRestartRule::Trigger::interval
                       ? tr("Restart %1 every %2 hours").arg(rule.bundleId).arg(rule.intervalHours)
                       : tr("Restart %1 at set times").arg(rule.bundleId));
    }
    QString updates = tr("Updates: %1").arg(updateMode(p.updatePolicy.mode));
    if (p.updatePolicy.mode == UpdatePolicy::Mode::automatic)
        updates += tr(", between %1 and %2").arg(clock(p.updatePolicy.windowStart, 0), clock(p.updatePolicy.windowEnd, 0));
    out.append(updates);
    for (const RetentionRule &rule : p.retentionRules)
        out.append(tr("Folder cleanup \"%1\": %2, older than %3 hours").arg(rule.name, rule.folderPath).arg(rule.maxAgeHours));
    for (const MonitoredShare &share : p.monitoredShares)
        out.append(tr("Network share \"%1\": %2").arg(share.name, share.address));
    return out;
}

QStringList logRows(const QList<PolicyLogEntry> &entries)
{
    QStringList rows;
    rows.reserve(entries.size());
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        rows.append(QLocale().toString(it->date.toLocalTime(), QLocale::ShortFormat) + QStringLiteral("  ") + it->message);
    return rows;
}

} // namespace vesk::PolicySummary
