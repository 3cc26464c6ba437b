#include "alerts/AlertService.h"

#include "platform/Clock.h"
#include "platform/Notifier.h"
#include "settings/FleetSettingsStore.h"

#include <cmath>

namespace vesk {

namespace {
constexpr qint64 kOfflineNotifyGapSeconds = 14400;
constexpr int kSummaryNames = 5;
} // namespace

void AlertService::pruneSuppressionsAndRules()
{
    const QDateTime now = m_clock.now();
    QList<AlertSuppression> suppressions = m_settings.suppressedSerials();
    const auto expired = suppressions.removeIf([&](const AlertSuppression &s) { return !s.isActive(now); });
    if (expired > 0)
        m_settings.setSuppressedSerials(suppressions);

    QList<LocationNotificationRule> rules = m_settings.locationNotificationRules();
    bool changed = false;
    for (LocationNotificationRule &rule : rules) {
        if (!rule.mutedDuration || !rule.mutedAt)
            continue;
        const std::optional<QDateTime> end = SuppressionDurations::expiry(*rule.mutedDuration, *rule.mutedAt);
        if (end && *end <= now) {
            rule.mutedDuration.reset();
            rule.mutedAt.reset();
            changed = true;
        }
    }
    const auto dropped = rules.removeIf([](const LocationNotificationRule &rule) {
        return !rule.mutedDuration && rule.disabledCategories.isEmpty();
    });
    if (changed || dropped > 0)
        m_settings.setLocationNotificationRules(rules);
}

bool AlertService::shouldNotifyOffline(const QString &serial)
{
    const QDateTime now = m_clock.now();
    const auto last = m_lastOfflineNotified.constFind(serial);
    if (last != m_lastOfflineNotified.cend() && last->secsTo(now) < kOfflineNotifyGapSeconds)
        return false;
    m_lastOfflineNotified.insert(serial, now);
    return true;
}

void AlertService::checkOfflineMachines(const QList<FleetMachine> &machines, double thresholdHours)
{
    pruneSuppressionsAndRules();
    const QDateTime now = m_clock.now();
    QList<AlertSuppression> suppressions = m_settings.suppressedSerials();
    bool suppressionsChanged = false;
    QStringList announced;
    qsizetype announcedCritical = 0;
    bool alertsMoved = false;

    for (const FleetMachine &machine : machines) {
        if (!machine.eventCode.isEmpty())
            m_serialLocationCodes.insert(machine.serial, machine.eventCode);
        const QDateTime lastSeen = QDateTime::fromString(machine.lastSeen, Qt::ISODateWithMs);
        if (!lastSeen.isValid())
            continue;
        const double hours = static_cast<double>(lastSeen.msecsTo(now)) / 3600000.0;
        const auto sameMachine = [&](const WardenAlert &alert) {
            return alert.category == AlertCategory::offline && alert.serial == machine.serial;
        };

        if (hours <= thresholdHours) {
            // Reporting again: its offline alert ends, and so does a mute that waited for this.
            alertsMoved |= m_activeAlerts.removeIf(sameMachine) > 0;
            suppressionsChanged |= suppressions.removeIf([&](const AlertSuppression &s) {
                return s.serial == machine.serial && s.duration == SuppressionDuration::untilRecovery;
            }) > 0;
            continue;
        }
        const bool suppressed = std::any_of(suppressions.cbegin(), suppressions.cend(), [&](const AlertSuppression &s) {
            return s.serial == machine.serial && s.isActive(now);
        });
        if (suppressed) {
            alertsMoved |= m_activeAlerts.removeIf(sameMachine) > 0;
            continue;
        }

        const QString wholeHours = QString::number(static_cast<qint64>(std::floor(hours)));
        const WardenAlert alert =
            hours > 6 * thresholdHours
                ? WardenAlert::make(AlertSeverity::critical, AlertCategory::offline, machine.name + QStringLiteral(" Offline"),
                                    QStringLiteral("No contact for ") + wholeHours + QStringLiteral(" hours"),
                                    machine.serial, now)
                : WardenAlert::make(AlertSeverity::warning, AlertCategory::offline,
                                    machine.name + QStringLiteral(" — No Recent Data"),
                                    QStringLiteral("Last seen ") + wholeHours + QStringLiteral(" hours ago"),
                                    machine.serial, now);
        // A machine that stays silent keeps one alert; only a new or escalated one is recorded again.
        const bool alreadyActive = std::any_of(m_activeAlerts.cbegin(), m_activeAlerts.cend(), [&](const WardenAlert &a) {
            return sameMachine(a) && a.title == alert.title;
        });
        if (alreadyActive)
            continue;
        m_activeAlerts.removeIf(sameMachine);
        m_activeAlerts << alert;
        record(alert);
        alertsMoved = true;
        reportAlert(alert, QStringLiteral("Offline alert report failed: "));
        if (shouldNotify(alert) && shouldNotifyOffline(machine.serial)) {
            announced << machine.name;
            announcedCritical += alert.severity == AlertSeverity::critical ? 1 : 0;
        }
    }

    if (suppressionsChanged)
        m_settings.setSuppressedSerials(suppressions);
    if (!announced.isEmpty())
        postOfflineSummary(announced, announcedCritical);
    if (alertsMoved)
        emit alertsChanged();
}

void AlertService::postOfflineSummary(const QStringList &names, qsizetype critical)
{
    QString body = QString::number(critical) + QStringLiteral(" critical — ") +
                   names.first(std::min<qsizetype>(names.size(), kSummaryNames)).join(QStringLiteral(", "));
    if (names.size() > kSummaryNames)
        body += QStringLiteral("…");
    m_notifier.post(LocalNotification{QStringLiteral("offline_summary"),
                                      QString::number(names.size()) + QStringLiteral(" machines offline"), body,
                                      QStringLiteral("WARDEN_OFFLINE"), critical > 0, {}});
}

} // namespace vesk
