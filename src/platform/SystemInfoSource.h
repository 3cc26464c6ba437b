#pragma once

#include "platform/SystemInfoTypes.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <optional>

namespace vesk {

// The machine's figures the system monitor samples: each read fresh on every call, cheap
// enough to be asked every few seconds on the main thread (no tool is run for any of them).
// Figures the platform cannot give come back absent, zero or empty, never as an error.
//
// processResponds() is the exception to the main-thread rule: the responsiveness probe asks
// it from a worker thread, so implementations keep it free of shared state.
class SystemInfoSource {
public:
    virtual ~SystemInfoSource() = default;

    virtual std::optional<DiskSpace> rootDiskSpace() = 0;
    // Total and used physical memory; none when the figures cannot be read.
    virtual std::optional<MemoryFigures> memory() = 0;
    virtual std::optional<CpuTicks> cpuTicks() = 0;
    virtual int activeProcessorCount() = 0;
    virtual double uptimeSeconds() = 0;
    // 0 nominal, 1 fair, 2 serious, 3 critical.
    virtual int thermalState() = 0;
    // None on a machine without a battery.
    virtual std::optional<BatteryStatus> battery() = 0;
    // "major.minor.patch".
    virtual QString osVersion() = 0;
    virtual QString modelName() = 0;
    // None where the desktop does not tell.
    virtual std::optional<FrontmostApp> frontmostApplication() = 0;
    virtual NetworkState networkState() = 0;
    // The name of the Wi-Fi network this machine is joined to; none when not known.
    virtual std::optional<QString> wifiNetworkName() = 0;
    // Names (last path component of the mount point) of mounted network file systems.
    virtual QStringList networkMounts() = 0;

    // None when the process has gone or may not be inspected.
    virtual std::optional<ProcessFigures> processFigures(qint32 pid) = 0;
    // Whether the process can answer its user: not stopped, not ended, not stuck. Thread-safe.
    virtual bool processResponds(qint32 pid) const = 0;
    // The same question for several processes at once, for platforms that ask the apps
    // themselves and wait for all the answers together (a probe may then take seconds).
    // Thread-safe. Every pid gets a verdict; by default each is asked on its own.
    virtual QHash<qint32, bool> processesRespond(const QList<qint32> &pids) const
    {
        QHash<qint32, bool> verdicts;
        for (const qint32 pid : pids)
            verdicts.insert(pid, processResponds(pid));
        return verdicts;
    }
};

} // namespace vesk
