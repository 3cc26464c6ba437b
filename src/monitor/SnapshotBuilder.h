#pragma once

#include "monitor/SystemSnapshot.h"

#include <optional>

namespace vesk {

class SystemInfoSource;

// Which optional parts of the snapshot the operator lets us collect.
struct SnapshotSwitches {
    bool foregroundApp = false; // frontmost application
    bool sensitive = false;     // local address, Wi-Fi name, network mounts, browser URL
};

// Builds snapshots from the machine's figures. Keeps the previous CPU tick reading, so the
// busy percentage covers the time since the last snapshot.
class SnapshotBuilder {
public:
    explicit SnapshotBuilder(SystemInfoSource &source);

    // `previous` lends its CPU figure when the tick counters cannot be read.
    SystemSnapshot build(const SystemSnapshot &previous, const SnapshotSwitches &switches, const QDateTime &now);

private:
    double sampleCpu(double previousUsage);

    SystemInfoSource &m_source;
    std::optional<CpuTicks> m_cpuSample;
};

} // namespace vesk
