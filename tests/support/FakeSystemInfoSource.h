#pragma once

#include "platform/SystemInfoSource.h"

#include <QHash>
#include <QMutex>
#include <QSet>

namespace vesk::test {

// Machine figures set by the test. Every figure a test leaves alone reads as a plain healthy
// machine; `cpu` and `processes` are what the sampling arithmetic is driven with.
class FakeSystemInfoSource final : public SystemInfoSource {
public:
    std::optional<DiskSpace> disk = DiskSpace{500LL << 30, 200LL << 30};
    std::optional<MemoryFigures> mem = MemoryFigures{16ULL << 30, 6ULL << 30};
    std::optional<CpuTicks> cpu = CpuTicks{100, 50, 800, 10};
    int cores = 4;
    double uptime = 3600.5;
    int thermal = 0;
    std::optional<BatteryStatus> batteryStatus;
    QString os = QStringLiteral("12.0.0");
    QString model = QStringLiteral("Booth PC");
    std::optional<FrontmostApp> frontmost;
    NetworkState network;
    std::optional<QString> wifi;
    QStringList mounts;
    QHash<qint32, ProcessFigures> processes;

    // Processes that do not answer (stopped), asked from the probe's worker thread.
    void setUnresponsive(qint32 pid, bool unresponsive);
    // The answers to one process's next probes, in order; after them the rule above applies.
    void scriptResponses(qint32 pid, QList<bool> answers);
    int timesAsked(qint32 pid) const;

    std::optional<DiskSpace> rootDiskSpace() override { return disk; }
    std::optional<MemoryFigures> memory() override { return mem; }
    std::optional<CpuTicks> cpuTicks() override { return cpu; }
    int activeProcessorCount() override { return cores; }
    double uptimeSeconds() override { return uptime; }
    int thermalState() override { return thermal; }
    std::optional<BatteryStatus> battery() override { return batteryStatus; }
    QString osVersion() override { return os; }
    QString modelName() override { return model; }
    std::optional<FrontmostApp> frontmostApplication() override { return frontmost; }
    NetworkState networkState() override { return network; }
    std::optional<QString> wifiNetworkName() override { return wifi; }
    QStringList networkMounts() override { return mounts; }
    std::optional<ProcessFigures> processFigures(qint32 pid) override;
    bool processResponds(qint32 pid) const override;

private:
    mutable QMutex m_mutex;
    QSet<qint32> m_unresponsive;
    mutable QHash<qint32, QList<bool>> m_scripted;
    mutable QHash<qint32, int> m_asked;
};

} // namespace vesk::test
