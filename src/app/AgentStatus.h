#pragma once

#include "alerts/WardenAlert.h"
#include "heartbeat/Heartbeat.h"
#include "pairing/PairingStatus.h"

#include <QString>
#include <QTimeZone>

#include <optional>

namespace vesk {

// What the menu and the window say about the agent, gathered from its services.
struct AgentStatus {
    bool servicesRunning = false;
    std::optional<PairingStatus> pairing;          // none until the keychain has been read
    std::optional<HeartbeatOutcome> lastHeartbeat; // none until the first beat
    QList<WardenAlert> activeAlerts;

    // The most severe active alert (the first of equals); none without alerts.
    std::optional<WardenAlert> worstAlert() const;

    // The menu's one line: the most pressing problem, else the all-clear.
    QString summary() const;
    // The window's lines.
    QString servicesText() const;
    QString pairingText() const;
    // Times in the agent clock's zone.
    QString heartbeatText(const QTimeZone &zone) const;

    static const QString allClear;
};

} // namespace vesk
