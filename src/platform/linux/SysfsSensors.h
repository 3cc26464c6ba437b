#pragma once

#include "platform/SystemInfoTypes.h"
#include "platform/linux/ProcFile.h"

#include <QList>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace vesk {

struct TripPoint {
    QString type;           // "passive", "active", "hot", "critical"
    qint64 milliCelsius = 0;
};

struct ThermalZoneReading {
    qint64 milliCelsius = 0;
    QList<TripPoint> trips;
};

// The machine's thermal state from its zones: the worst zone counts. A zone at or past its
// critical trip is critical (3), past its hot trip serious (2), past a passive trip (where
// the kernel starts throttling) fair (1); otherwise, and without zones, nominal (0).
int thermalStateFromZones(const QList<ThermalZoneReading> &zones);

// The battery from the uevent texts of /sys/class/power_supply/*, in name order: the first
// system battery (a device's own battery, such as a mouse's, does not count) with a capacity.
// Plugged in when a mains or USB supply is online; with no such supply listed, when the
// battery is not discharging.
std::optional<BatteryStatus> batteryFromSupplies(const QList<std::string> &uevents);

// Thermal zones and power supplies under a sysfs root ("/sys"). Trip points are read once;
// zone temperatures (from files kept open) and supplies on every call.
class SysfsSensors {
public:
    explicit SysfsSensors(QString sysRoot = QStringLiteral("/sys"));

    int thermalState();
    std::optional<BatteryStatus> battery();

private:
    struct Zone {
        KernelFile temp;
        QList<TripPoint> trips;
    };
    void loadZones();

    QString m_root;
    bool m_zonesLoaded = false;
    std::vector<Zone> m_zones;
    std::string m_buffer;
};

} // namespace vesk
