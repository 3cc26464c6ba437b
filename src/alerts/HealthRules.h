#pragma once

#include "alerts/AlertThresholds.h"
#include "alerts/WardenAlert.h"
#include "monitor/AppSnapshot.h"
#include "monitor/SystemSnapshot.h"

#include <QList>

namespace vesk {

// The health alerts that hold for one sample, in a fixed order: disk, memory, CPU, thermal,
// hung apps, uptime, battery. Each is stamped `now` and `serial`. CPU and memory alerts name
// the three running apps with the most CPU or memory at the end of their message.
QList<WardenAlert> healthAlerts(const SystemSnapshot &snapshot, const QList<AppSnapshot> &apps,
                                const AlertThresholds &thresholds, const QString &serial, const QDateTime &now);

// Bytes as "33.8 GB".
QString gigabytesText(double bytes);

} // namespace vesk
