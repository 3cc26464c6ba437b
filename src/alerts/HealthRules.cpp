#include "alerts/HealthRules.h"

#include <algorithm>
#include <functional>

namespace vesk {

namespace {

constexpr double kBytesPerGigabyte = 1073741824.0;
constexpr double kSecondsPerDay = 86400.0;

QString wholePercent(double fraction)
{
    return QString::number(static_cast<qint64>(fraction * 100));
}

// " — top: Capture One 41%, Lightroom 22%, Print 3%": the three apps that use the most of
// what `figure` reads, as `text` prints it; empty without apps.
QString topApps(QList<AppSnapshot> apps, double AppSnapshot::*figure, const std::function<QString(double)> &text)
{
    std::stable_sort(apps.begin(), apps.end(),
                     [figure](const AppSnapshot &a, const AppSnapshot &b) { return a.*figure > b.*figure; });
    QStringList named;
    for (const AppSnapshot &app : apps.mid(0, 3))
        named << app.name + QLatin1Char(' ') + text(app.*figure);
    return named.isEmpty() ? QString() : QStringLiteral(" — top: ") + named.join(QStringLiteral(", "));
}

QString wholeNumber(double value)
{
    return QString::number(static_cast<qint64>(value));
}

} // namespace

QString gigabytesText(double bytes)
{
    return QString::asprintf("%.1f GB", bytes / kBytesPerGigabyte);
}

QList<WardenAlert> healthAlerts(const SystemSnapshot &s, const QList<AppSnapshot> &apps,
                                const AlertThresholds &t, const QString &serial, const QDateTime &now)
{
    QList<WardenAlert> alerts;
    const auto add = [&](AlertSeverity severity, AlertCategory category, QString title, QString message) {
        alerts << WardenAlert::make(severity, category, std::move(title), std::move(message), serial, now);
    };

    const double disk = s.diskTotal < 1 ? 0 : static_cast<double>(s.diskUsed) / static_cast<double>(s.diskTotal);
    if (disk > t.diskPercentCritical) {
        add(AlertSeverity::critical, AlertCategory::disk, QStringLiteral("Disk Almost Full"),
            QStringLiteral("Storage is %1% full (%2 free of %3)")
                .arg(wholePercent(disk), gigabytesText(s.diskFree), gigabytesText(s.diskTotal)));
    } else if (disk > t.diskPercentWarning) {
        add(AlertSeverity::warning, AlertCategory::disk, QStringLiteral("Disk Space Low"),
            QStringLiteral("Storage is %1% full (%2 free)").arg(wholePercent(disk), gigabytesText(s.diskFree)));
    }

    const double ram = s.ramTotal == 0 ? 0 : static_cast<double>(s.ramUsed) / static_cast<double>(s.ramTotal);
    const QString used = gigabytesText(static_cast<double>(s.ramUsed));
    const QString total = gigabytesText(static_cast<double>(s.ramTotal));
    const auto topByMemory = [&] {
        return topApps(apps, &AppSnapshot::memoryMB, [](double mb) { return wholeNumber(mb) + QStringLiteral(" MB"); });
    };
    if (ram > t.ramPercentCritical) {
        add(AlertSeverity::critical, AlertCategory::memory,
            QStringLiteral("Sustained Memory Usage ") + wholePercent(ram) + QLatin1Char('%'),
            QStringLiteral("RAM pressure is critical — %1 of %2 used").arg(used, total) + topByMemory());
    } else if (ram > t.ramPercentWarning) {
        add(AlertSeverity::warning, AlertCategory::memory, QStringLiteral("High Memory Usage"),
            QStringLiteral("RAM at %1% — %2 of %3").arg(wholePercent(ram), used, total) + topByMemory());
    }

    if (s.cpuUsage > t.cpuSustainedPercent) {
        add(AlertSeverity::warning, AlertCategory::cpu, QStringLiteral("High CPU Usage"),
            QStringLiteral("CPU at %1% across %2 cores")
                    .arg(QString::number(static_cast<qint64>(s.cpuUsage)), QString::number(s.cpuCoreCount)) +
                topApps(apps, &AppSnapshot::cpuPercent,
                        [](double percent) { return wholeNumber(percent) + QLatin1Char('%'); }));
    }

    if (t.thermalSerious && s.thermalState == 2) {
        add(AlertSeverity::warning, AlertCategory::thermal, QStringLiteral("Serious Thermal Warning"),
            QStringLiteral("Machine is running hot — performance may be reduced"));
    } else if (t.thermalSerious && s.thermalState == 3) {
        add(AlertSeverity::critical, AlertCategory::thermal, QStringLiteral("Critical Thermal State"),
            QStringLiteral("Machine is thermal throttling — performance severely degraded"));
    }

    if (t.hungAppDetection) {
        for (const AppSnapshot &app : apps) {
            if (app.isResponding)
                continue;
            add(AlertSeverity::critical, AlertCategory::appHung, app.name + QStringLiteral(" Not Responding"),
                QStringLiteral("%1 (PID %2) is hung — using %3MB RAM")
                    .arg(app.name, QString::number(app.pid), QString::number(static_cast<qint64>(app.memoryMB))));
        }
    }

    const auto days = static_cast<qint64>(s.uptimeSeconds / kSecondsPerDay);
    if (days >= t.uptimeDaysWarning) {
        add(AlertSeverity::info, AlertCategory::uptime, QStringLiteral("Extended Uptime"),
            QStringLiteral("Machine has been running for %1 days without a restart").arg(days));
    }

    if (s.batteryLevel && *s.batteryLevel < 10 && s.isPluggedIn && !*s.isPluggedIn) {
        add(AlertSeverity::critical, AlertCategory::battery, QStringLiteral("Battery Critical"),
            QStringLiteral("Battery at %1% and not plugged in").arg(*s.batteryLevel));
    }
    return alerts;
}

} // namespace vesk
