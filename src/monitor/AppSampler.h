#pragma once

#include "monitor/AppSnapshot.h"
#include "monitor/CpuUsage.h"
#include "platform/WorkspaceTypes.h"

#include <QHash>
#include <QList>

namespace vesk {

class SystemInfoSource;

// Per-process CPU and memory of the running family apps. Keeps each process's previous CPU
// time, so a percentage covers the time since that process was last sampled.
class AppSampler {
public:
    explicit AppSampler(SystemInfoSource &source);

    // Forgets the processes that are no longer among `running`.
    void prune(const QList<RunningApplication> &running);

    // One app's snapshot; `verdict` is the probe's last word on it, if any. CPU and memory are
    // 0 when the kernel does not tell (and then nothing is remembered for the next pass).
    AppSnapshot sample(const RunningApplication &app, std::optional<bool> verdict, int coreCount, const QDateTime &now);

private:
    SystemInfoSource &m_source;
    QHash<qint32, ProcessSample> m_samples;
};

} // namespace vesk
