#pragma once

#include "platform/SystemInfoTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

namespace vesk {

// Pure parsers of the kernel's and the distribution's text files the system sampling reads.
// Each takes the whole text of one file.

// /proc/meminfo: total = MemTotal; used = MemTotal - MemAvailable (the memory that cannot be
// handed to a new program without swapping). Kernels without MemAvailable: MemFree + Buffers +
// Cached stands in for it.
std::optional<MemoryFigures> parseMemInfo(std::string_view text);

// The aggregate "cpu" line of /proc/stat. Interrupt time counts as system time and I/O wait
// as idle; steal time (the hypervisor's) is left out.
std::optional<CpuTicks> parseCpuTicks(std::string_view text);

// /proc/uptime: the first figure, seconds since boot.
std::optional<double> parseUptime(std::string_view text);

// VERSION_ID of os-release as "major.minor.patch", absent components read as zero ("12" -> "12.0.0",
// "22.04" -> "22.4.0"); "0.0.0" without a numeric VERSION_ID.
QString parseOsReleaseVersion(std::string_view text);

// /proc/net/route: the interface of the default route (destination and mask 0, route up);
// the lowest metric wins. Empty when there is none.
QString parseDefaultRouteInterface(std::string_view text);

struct MountEntry {
    QString mountPoint;
    QString fsType;
    QString source;

    bool operator==(const MountEntry &) const = default;
};

// /proc/self/mountinfo, with the octal escapes of paths (\040 for a space) decoded.
QList<MountEntry> parseMountInfo(std::string_view text);

// Whether a file-system type is a network file system (cifs, smb3, nfs, nfs4, afpfs, sshfs...).
bool isNetworkFileSystem(const QString &fsType);

// Names (last path component of the mount point) of the network mounts, in table order.
QStringList networkMountNames(const QList<MountEntry> &mounts);

// The fields of /proc/PID/stat the sampling needs.
struct ProcessStatFields {
    char state = '?';
    quint64 userTicks = 0;
    quint64 systemTicks = 0;
    quint64 startTicks = 0; // after boot

    bool operator==(const ProcessStatFields &) const = default;
};

std::optional<ProcessStatFields> parseProcessStatFields(std::string_view text);

// voluntary_ctxt_switches + nonvoluntary_ctxt_switches of /proc/PID/status: how often the
// process's main thread has been switched out. None when either line is missing.
std::optional<quint64> parseContextSwitches(std::string_view text);

// The resident page count of /proc/PID/statm (its second figure).
std::optional<quint64> parseStatmResidentPages(std::string_view text);

// One KEY=VALUE line of a sysfs uevent file; empty when the key is missing.
QString ueventValue(std::string_view text, std::string_view key);

} // namespace vesk
