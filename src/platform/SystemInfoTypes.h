#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <ostream>

namespace vesk {

// Bytes of the file system that holds "/".
struct DiskSpace {
    qint64 total = 0;
    qint64 free = 0;

    bool operator==(const DiskSpace &) const = default;
};

// Physical memory and the part of it the system counts as taken.
struct MemoryFigures {
    quint64 total = 0;
    quint64 used = 0;

    bool operator==(const MemoryFigures &) const = default;
};

// Cumulative machine-wide CPU ticks since boot, folded into four states.
struct CpuTicks {
    quint64 user = 0;
    quint64 system = 0;
    quint64 idle = 0;
    quint64 nice = 0;

    bool operator==(const CpuTicks &) const = default;
};

// The first system battery: its charge in percent and whether mains power is connected.
struct BatteryStatus {
    int level = 0;
    bool pluggedIn = false;

    bool operator==(const BatteryStatus &) const = default;
};

// One network interface with an IPv4 address. `type` is "Wi-Fi", "Ethernet", "Bridge",
// "VPN" or "Other".
struct NetworkInterface {
    QString name;
    QString type;
    QString ipAddress;
    bool isActive = false;

    bool operator==(const NetworkInterface &) const = default;
};

// The interfaces, which one carries the default route, and that one's IPv4 address.
struct NetworkState {
    QList<NetworkInterface> interfaces;
    QString primaryInterface; // empty when there is no default route
    QString primaryAddress;   // empty when the primary interface has no IPv4 address

    bool operator==(const NetworkState &) const = default;
};

// The application the user is working in.
struct FrontmostApp {
    QString name;
    QString bundleId;

    bool operator==(const FrontmostApp &) const = default;
};

// What the kernel tells about one process.
struct ProcessFigures {
    double cpuSeconds = 0;      // user + system time since it started
    quint64 residentBytes = 0;
    std::optional<QDateTime> startTime;

    bool operator==(const ProcessFigures &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const NetworkInterface &i)
{
    return os << "NetworkInterface{" << i.name.toStdString() << ", " << i.type.toStdString() << ", "
              << i.ipAddress.toStdString() << (i.isActive ? ", active" : ", inactive") << "}";
}

inline std::ostream &operator<<(std::ostream &os, const CpuTicks &t)
{
    return os << "CpuTicks{user " << t.user << ", system " << t.system << ", idle " << t.idle << ", nice " << t.nice
              << "}";
}

} // namespace vesk
