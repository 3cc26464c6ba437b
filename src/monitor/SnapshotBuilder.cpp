#include "monitor/SnapshotBuilder.h"

#include "monitor/CpuUsage.h"
#include "platform/SystemInfoSource.h"

#include <algorithm>

namespace vesk {

SnapshotBuilder::SnapshotBuilder(SystemInfoSource &source) : m_source(source) {}

double SnapshotBuilder::sampleCpu(double previousUsage)
{
    const auto ticks = m_source.cpuTicks();
    if (!ticks)
        return previousUsage;
    const double usage = machineCpuUsage(m_cpuSample, *ticks);
    m_cpuSample = *ticks;
    return usage;
}

SystemSnapshot SnapshotBuilder::build(const SystemSnapshot &previous, const SnapshotSwitches &switches,
                                      const QDateTime &now)
{
    SystemSnapshot s;
    s.timestamp = now;

    if (const auto disk = m_source.rootDiskSpace()) {
        s.diskTotal = disk->total;
        s.diskFree = disk->free;
        s.diskUsed = disk->total - disk->free;
    }
    if (const auto memory = m_source.memory()) {
        s.ramTotal = memory->total;
        s.ramUsed = memory->used;
    }
    s.ramPressure = double(s.ramUsed) / double(std::max<quint64>(s.ramTotal, 1));
    s.cpuUsage = sampleCpu(previous.cpuUsage);
    s.cpuCoreCount = m_source.activeProcessorCount();
    s.uptimeSeconds = m_source.uptimeSeconds();
    s.thermalState = m_source.thermalState();
    if (const auto battery = m_source.battery()) {
        s.batteryLevel = battery->level;
        s.isPluggedIn = battery->pluggedIn;
    }
    s.osVersion = m_source.osVersion();
    s.modelName = m_source.modelName();

    // No browser reports its front tab to us on this platform, so browserURL stays absent.
    if (switches.foregroundApp) {
        if (const auto front = m_source.frontmostApplication()) {
            s.foregroundApp = front->name;
            s.foregroundBundleId = front->bundleId;
        }
    }

    NetworkState network = m_source.networkState();
    s.networkInterfaces = std::move(network.interfaces);
    s.primaryInterface = std::move(network.primaryInterface);
    if (switches.sensitive) {
        s.localIP = std::move(network.primaryAddress);
        s.wifiSSID = m_source.wifiNetworkName();
        s.networkMounts = m_source.networkMounts();
    }
    return s;
}

} // namespace vesk
