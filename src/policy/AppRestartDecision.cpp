#include "policy/AppRestartDecision.h"

namespace vesk::AppRestartDecision {

std::optional<QDateTime> mostRecentScheduledTime(const AppRestartRule &rule, const QDateTime &now,
                                                 const QTimeZone &zone)
{
    if (rule.trigger != AppRestartRule::Trigger::scheduled || rule.scheduledTimes.isEmpty() || rule.days.isEmpty())
        return std::nullopt;
    const QDateTime localNow = now.toTimeZone(zone);
    std::optional<QDateTime> latest;
    for (int offset = 0; offset < 7; ++offset) {
        const QDate day = localNow.date().addDays(-offset);
        if (!rule.days.containsDate(day))
            continue;
        for (const RestartTime &time : rule.scheduledTimes) {
            const QDateTime moment(day, QTime(time.hour, time.minute, 0), zone);
            if (moment.isValid() && moment <= now && (!latest || moment > *latest))
                latest = moment;
        }
    }
    return latest;
}

std::optional<QString> restartReason(const AppRestartRule &rule, const Situation &situation)
{
    const std::optional<AppSnapshot> &sample = situation.sample;
    QString reason;
    bool restart = false;

    if (rule.restartIfHung && sample && !sample->isResponding) {
        reason = QStringLiteral("not responding");
        restart = true;
    }
    if (rule.maxMemoryMB && sample && sample->memoryMB > double(*rule.maxMemoryMB)) {
        reason = QStringLiteral("memory %1MB exceeds %2MB limit").arg(qint64(sample->memoryMB)).arg(*rule.maxMemoryMB);
        restart = true;
    }

    if (rule.trigger == AppRestartRule::Trigger::scheduled) {
        const std::optional<QDateTime> latest = mostRecentScheduledTime(rule, situation.now, situation.zone);
        const bool startedSince = latest && sample && sample->launchDate && *sample->launchDate >= *latest;
        const bool restartedSince = latest && situation.lastRestart && *situation.lastRestart >= *latest;
        if (latest && !startedSince && !restartedSince) {
            if (reason.isEmpty()) {
                const QTime local = latest->toTimeZone(situation.zone).time();
                reason = QStringLiteral("scheduled restart (%1)").arg(situation.locale.toString(local, QLocale::ShortFormat));
            }
            return reason;
        }
    } else if (sample && sample->launchDate) {
        const qint64 uptime = sample->launchDate->secsTo(situation.now);
        if (uptime >= qint64(rule.intervalHours) * 3600) {
            const bool spaced = !situation.lastRestart ||
                                situation.lastRestart->secsTo(situation.now) > qint64(intervalSpacing.count());
            if (spaced) {
                restart = true;
                if (reason.isEmpty())
                    reason = QStringLiteral("running %1h (limit: %2h)").arg(uptime / 3600).arg(rule.intervalHours);
            }
        }
    }
    if (!restart)
        return std::nullopt;
    return reason;
}

} // namespace vesk::AppRestartDecision
