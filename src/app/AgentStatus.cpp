#include "app/AgentStatus.h"

namespace vesk {

const QString AgentStatus::allClear = QStringLiteral("All systems are operating normally.");

namespace {

// The pairing headline short enough for one menu line; the not-paired headline is a paste prompt.
QString pairingLine(const PairingStatus &pairing)
{
    if (pairing.kind == PairingStatus::Kind::notPaired)
        return QStringLiteral("Not paired with a fleet");
    return pairing.headline();
}

QString timeText(const QDateTime &at, const QTimeZone &zone)
{
    return at.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

QString AgentStatus::summary() const
{
    // Stopped services explain everything below them; a server out of reach explains a pairing
    // that cannot be checked, so the heartbeat comes before the pairing.
    if (!servicesRunning)
        return QStringLiteral("Services stopped");
    if (const std::optional<WardenAlert> worst = worstAlert()) {
        if (activeAlerts.size() == 1)
            return worst->title;
        return QStringLiteral("%1 (+%2 more alerts)").arg(worst->title).arg(activeAlerts.size() - 1);
    }
    if (lastHeartbeat && !lastHeartbeat->delivered)
        return QStringLiteral("Last heartbeat failed: ") + lastHeartbeat->error;
    if (pairing && pairing->kind != PairingStatus::Kind::paired)
        return pairingLine(*pairing);
    return allClear;
}

std::optional<WardenAlert> AgentStatus::worstAlert() const
{
    std::optional<WardenAlert> worst;
    for (const WardenAlert &alert : activeAlerts) {
        if (!worst || alert.severity > worst->severity)
            worst = alert;
    }
    return worst;
}

QString AgentStatus::servicesText() const
{
    return servicesRunning ? QStringLiteral("Running") : QStringLiteral("Stopped");
}

QString AgentStatus::pairingText() const
{
    if (!pairing)
        return QStringLiteral("Checking…");
    if (pairing->kind == PairingStatus::Kind::paired)
        return pairing->headline() + QLatin1Char('\n') + pairing->detail();
    return pairingLine(*pairing);
}

QString AgentStatus::heartbeatText(const QTimeZone &zone) const
{
    if (!lastHeartbeat)
        return QStringLiteral("None sent yet");
    if (lastHeartbeat->delivered)
        return QStringLiteral("Delivered at ") + timeText(lastHeartbeat->at, zone);
    return QStringLiteral("Failed at %1: %2").arg(timeText(lastHeartbeat->at, zone), lastHeartbeat->error);
}

} // namespace vesk
