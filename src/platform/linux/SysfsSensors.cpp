#include "platform/linux/SysfsSensors.h"

#include "platform/linux/ProcFile.h"
#include "platform/linux/SystemInfoParsers.h"

#include <QDir>

#include <algorithm>
#include <charconv>

namespace vesk {

namespace {

std::optional<qint64> parseNumber(std::string &buffer)
{
    while (!buffer.empty() && (buffer.back() == '\n' || buffer.back() == ' '))
        buffer.pop_back();
    qint64 value = 0;
    const auto [ptr, ec] = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (buffer.empty() || ec != std::errc() || ptr != buffer.data() + buffer.size())
        return std::nullopt;
    return value;
}

std::optional<qint64> readNumber(const QString &path, std::string &buffer)
{
    if (!readProcFile(path, buffer))
        return std::nullopt;
    return parseNumber(buffer);
}

QString readText(const QString &path, std::string &buffer)
{
    if (!readProcFile(path, buffer))
        return {};
    return QString::fromUtf8(buffer.data(), qsizetype(buffer.size())).trimmed();
}

} // namespace

int thermalStateFromZones(const QList<ThermalZoneReading> &zones)
{
    int worst = 0;
    for (const ThermalZoneReading &zone : zones) {
        for (const TripPoint &trip : zone.trips) {
            // Trips the firmware leaves at 0 or below are placeholders, not thresholds.
            if (trip.milliCelsius <= 0 || zone.milliCelsius < trip.milliCelsius)
                continue;
            if (trip.type == QLatin1String("critical"))
                worst = std::max(worst, 3);
            else if (trip.type == QLatin1String("hot"))
                worst = std::max(worst, 2);
            else if (trip.type == QLatin1String("passive"))
                worst = std::max(worst, 1);
        }
    }
    return worst;
}

std::optional<BatteryStatus> batteryFromSupplies(const QList<std::string> &uevents)
{
    std::optional<BatteryStatus> battery;
    QString batteryStatus;
    bool anyMains = false;
    bool mainsOnline = false;
    for (const std::string &uevent : uevents) {
        const QString type = ueventValue(uevent, "POWER_SUPPLY_TYPE");
        if (type == QLatin1String("Battery")) {
            if (battery || ueventValue(uevent, "POWER_SUPPLY_SCOPE") == QLatin1String("Device"))
                continue;
            bool ok = false;
            const int capacity = ueventValue(uevent, "POWER_SUPPLY_CAPACITY").toInt(&ok);
            if (!ok)
                continue;
            battery = BatteryStatus{capacity, false};
            batteryStatus = ueventValue(uevent, "POWER_SUPPLY_STATUS");
        } else if (type == QLatin1String("Mains") || type.startsWith(QLatin1String("USB"))) {
            anyMains = true;
            mainsOnline = mainsOnline || ueventValue(uevent, "POWER_SUPPLY_ONLINE") == QLatin1String("1");
        }
    }
    if (battery)
        battery->pluggedIn = anyMains ? mainsOnline : (!batteryStatus.isEmpty() && batteryStatus != QLatin1String("Discharging"));
    return battery;
}

SysfsSensors::SysfsSensors(QString sysRoot) : m_root(std::move(sysRoot)) {}

void SysfsSensors::loadZones()
{
    m_zonesLoaded = true;
    const QString base = m_root + QStringLiteral("/class/thermal");
    const QStringList names = QDir(base).entryList({QStringLiteral("thermal_zone*")}, QDir::Dirs | QDir::NoDotAndDotDot,
                                                   QDir::Name);
    for (const QString &name : names) {
        const QString dir = base + QLatin1Char('/') + name;
        Zone zone{KernelFile(dir + QStringLiteral("/temp")), {}};
        for (int i = 0;; ++i) {
            const QString prefix = dir + QStringLiteral("/trip_point_%1_").arg(i);
            const QString type = readText(prefix + QStringLiteral("type"), m_buffer);
            if (type.isEmpty())
                break;
            if (const auto temp = readNumber(prefix + QStringLiteral("temp"), m_buffer))
                zone.trips.append(TripPoint{type, *temp});
        }
        m_zones.push_back(std::move(zone));
    }
}

int SysfsSensors::thermalState()
{
    if (!m_zonesLoaded)
        loadZones();
    QList<ThermalZoneReading> readings;
    for (Zone &zone : m_zones) {
        if (!zone.temp.read(m_buffer))
            continue;
        if (const auto temp = parseNumber(m_buffer))
            readings.append(ThermalZoneReading{*temp, zone.trips});
    }
    return thermalStateFromZones(readings);
}

std::optional<BatteryStatus> SysfsSensors::battery()
{
    const QString base = m_root + QStringLiteral("/class/power_supply");
    const QStringList names = kernelFolderEntries(base);
    if (names.isEmpty())
        return std::nullopt;
    QList<std::string> uevents;
    for (const QString &name : names) {
        if (readProcFile(base + QLatin1Char('/') + name + QStringLiteral("/uevent"), m_buffer))
            uevents.append(m_buffer);
    }
    return batteryFromSupplies(uevents);
}

} // namespace vesk
