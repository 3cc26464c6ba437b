#include "console/DashboardView.h"

#include "alerts/AlertService.h"
#include "console/ConsoleTexts.h"
#include "monitor/SystemMonitor.h"
#include "policy/PolicyEngine.h"
#include "updates/UpdateService.h"

#include <QCoreApplication>
#include <QLocale>

namespace vesk {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("Dashboard", text);
}

QString percent(double value)
{
    return QString::number(value, 'f', 0) + QLatin1Char('%');
}

QString uptimeText(double seconds)
{
    const qint64 total = static_cast<qint64>(seconds);
    const qint64 days = total / 86400;
    const qint64 hours = (total % 86400) / 3600;
    if (days > 0)
        return tr("Up %1 d %2 h").arg(days).arg(hours);
    return tr("Up %1 h %2 min").arg(hours).arg((total % 3600) / 60);
}
} // namespace

DashboardFacts DashboardFacts::gather(const SystemMonitor *monitor, const PolicyEngine *policy,
                                      const UpdateService *updates, const AlertService *alerts)
{
    DashboardFacts facts;
    if (monitor && monitor->snapshot().timestamp.isValid()) {
        facts.snapshot = monitor->snapshot();
        facts.runningApps = monitor->appSnapshots();
    }
    if (policy) {
        if (policy->activePolicy())
            facts.policyName = policy->activePolicy()->name;
        facts.enforcementPaused = policy->isPaused();
    }
    if (updates)
        facts.updates = updates->availableUpdates();
    if (alerts)
        facts.activeAlerts = alerts->activeAlerts();
    return facts;
}

DashboardView DashboardView::from(const DashboardFacts &facts)
{
    DashboardView view;
    const QLocale locale;
    if (!facts.snapshot) {
        view.machine = tr("Waiting for the first system sample…");
    } else {
        const SystemSnapshot &s = *facts.snapshot;
        view.machine = s.modelName.isEmpty() ? s.osVersion : s.modelName + QStringLiteral(" · ") + s.osVersion;
        view.health << tr("CPU %1").arg(percent(s.cpuUsage))
                    << tr("Memory %1 of %2")
                           .arg(percent(s.ramPressure * 100),
                                locale.formattedDataSize(static_cast<qint64>(s.ramTotal)))
                    << tr("Disk %1 free of %2")
                           .arg(locale.formattedDataSize(s.diskFree), locale.formattedDataSize(s.diskTotal))
                    << uptimeText(s.uptimeSeconds);
    }
    for (const AppSnapshot &app : facts.runningApps) {
        QString line = app.name + QStringLiteral(" · ") + percent(app.cpuPercent) + QStringLiteral(" CPU · ") +
                       QString::number(app.memoryMB, 'f', 0) + QStringLiteral(" MB");
        if (!app.isResponding)
            line += tr(" · not responding");
        view.apps.append(line);
    }
    if (view.apps.isEmpty())
        view.apps.append(ConsoleTexts::noVeskApps);
    view.policy = facts.policyName ? tr("Policy in force: %1").arg(*facts.policyName) : ConsoleTexts::noPolicy;
    if (facts.policyName && facts.enforcementPaused)
        view.policy += tr(" (enforcement paused)");
    for (const AvailableUpdate &update : facts.updates)
        view.updates.append(update.name.value_or(update.bundleId) + QStringLiteral(" → ") + update.version);
    if (view.updates.isEmpty())
        view.updates.append(tr("No pending updates"));
    for (const WardenAlert &alert : facts.activeAlerts)
        view.alerts.append(alert.title + QStringLiteral(" — ") + alert.message);
    if (view.alerts.isEmpty())
        view.alerts.append(ConsoleTexts::noActiveAlerts);
    return view;
}

} // namespace vesk
