#pragma once

#include "alerts/WardenAlert.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SystemSnapshot.h"
#include "wire/policy/AvailableUpdate.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vesk {

class AlertService;
class PolicyEngine;
class SystemMonitor;
class UpdateService;

// This Mac at a glance, as the services last reported it.
struct DashboardFacts {
    std::optional<SystemSnapshot> snapshot; // none before the first sampling pass
    QList<AppSnapshot> runningApps;
    std::optional<QString> policyName;
    bool enforcementPaused = false;
    QList<AvailableUpdate> updates;
    QList<WardenAlert> activeAlerts;

    // Whatever of the services the agent runs; a missing one reads as nothing to show.
    static DashboardFacts gather(const SystemMonitor *monitor, const PolicyEngine *policy,
                                 const UpdateService *updates, const AlertService *alerts);
};

// The dashboard's lines.
struct DashboardView {
    QString machine;     // model and OS, or a waiting line
    QStringList health;  // CPU, memory, disk, uptime
    QStringList apps;    // running fleet apps, or "No Vesk apps running"
    QString policy;      // the policy in force, or "No active policy"
    QStringList updates; // pending updates, or a line saying there are none
    QStringList alerts;  // active alerts, or a line saying there are none

    static DashboardView from(const DashboardFacts &facts);
};

} // namespace vesk
