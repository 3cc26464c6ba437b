#pragma once

#include "platform/SystemInfoSource.h"
#include "platform/linux/ProcFile.h"
#include "platform/linux/ProcessHangWatch.h"
#include "platform/linux/SysfsSensors.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/WifiNameCache.h"

#include <QHash>
#include <QThreadPool>

#include <string>

namespace vesk {

// The machine's figures from the kernel's files, read directly into reused buffers:
// /proc/meminfo, /proc/stat, /proc/uptime, /proc/net/route, /proc/self/mountinfo,
// /proc/PID/stat and statm, /sys/class/{thermal,power_supply,net}, os-release and DMI.
// The OS version, the model and the boot time do not change while we run and are read once.
// The files read on every sample stay open and are read again from their start; the mount
// table is parsed again only when the kernel says it changed (it flags the open file).
//
// Memory in use is MemTotal - MemAvailable: what a new program could not get without
// swapping, the kernel's own answer to "how full is memory" (page cache it can drop is free).
//
// The Wi-Fi network name comes from NetworkManager over the system bus. Those calls can take
// a quarter of a second each, so a pass reads the name a look-up on a worker found, and the
// look-up runs again at most every WifiNameCache::kRefreshSeconds per wireless interface: the
// name can lag a change of network by that much, and is absent on the first pass that asks.
//
// A process does not respond when it is stopped, has ended, or has sat in uninterruptible
// sleep for more than 30 s (see ProcessHangWatch); and, when several are asked together and an
// X display answers, when none of its X11 windows answers a _NET_WM_PING within 5 s (see
// pingX11Windows). Native Wayland apps get the process checks only: Wayland has no ping between
// clients, only the compositor can ping its clients.
//
// There is no frontmost application: no desktop-neutral way tells it without running a tool
// per sample (X11 keeps it in a window property, Wayland does not publish it at all).
class LinuxSystemInfoSource final : public SystemInfoSource {
public:
    explicit LinuxSystemInfoSource(QString procRoot = QStringLiteral("/proc"), QString sysRoot = QStringLiteral("/sys"),
                                   QStringList osReleasePaths = {QStringLiteral("/etc/os-release"),
                                                                 QStringLiteral("/usr/lib/os-release")});

    std::optional<DiskSpace> rootDiskSpace() override;
    std::optional<MemoryFigures> memory() override;
    std::optional<CpuTicks> cpuTicks() override;
    int activeProcessorCount() override;
    double uptimeSeconds() override;
    int thermalState() override;
    std::optional<BatteryStatus> battery() override;
    QString osVersion() override;
    QString modelName() override;
    std::optional<FrontmostApp> frontmostApplication() override;
    NetworkState networkState() override;
    std::optional<QString> wifiNetworkName() override;
    QStringList networkMounts() override;
    std::optional<ProcessFigures> processFigures(qint32 pid) override;
    bool processResponds(qint32 pid) const override;
    QHash<qint32, bool> processesRespond(const QList<qint32> &pids) const override;

    // How long the X11 probe waits for answers. Set before the first probe runs.
    void setWindowPingTimeout(std::chrono::milliseconds timeout) { m_windowPingTimeout = timeout; }

private:
    QString linkType(const QString &name);
    std::string pidPath(qint32 pid, const char *leaf) const;
    bool mountTableChanged() const;

    QString m_proc;
    QString m_sys;
    QString m_osVersion;
    QString m_model;
    std::optional<qint64> m_bootTime;
    qint64 m_ticksPerSecond = 100;
    qint64 m_pageSize = 4096;
    KernelFile m_meminfo;
    KernelFile m_stat;
    KernelFile m_uptime;
    KernelFile m_route;
    KernelFile m_mountInfo;
    bool m_mountsRead = false;
    bool m_mountsSignalChanges = false; // the real /proc/self/mountinfo, not a plain file
    QStringList m_networkMounts;
    std::string m_encodedProc;
    SysfsSensors m_sensors;
    SystemClock m_clock;
    ProcessHangWatch m_hangWatch;
    std::chrono::milliseconds m_windowPingTimeout;
    QThreadPool m_wifiPool; // one thread: a slow bus never holds the shared pool
    WifiNameCache m_wifiNames;
    QHash<QString, QString> m_linkTypes; // interface name -> type, read once per name
    std::string m_buffer;
};

} // namespace vesk
