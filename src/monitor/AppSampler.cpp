#include "monitor/AppSampler.h"

#include "platform/SystemInfoSource.h"

#include <QSet>

namespace vesk {

AppSampler::AppSampler(SystemInfoSource &source) : m_source(source) {}

void AppSampler::prune(const QList<RunningApplication> &running)
{
    QSet<qint32> alive;
    for (const RunningApplication &app : running)
        alive.insert(app.pid);
    for (auto it = m_samples.begin(); it != m_samples.end();) {
        if (alive.contains(it.key()))
            ++it;
        else
            it = m_samples.erase(it);
    }
}

AppSnapshot AppSampler::sample(const RunningApplication &app, std::optional<bool> verdict, int coreCount,
                               const QDateTime &now)
{
    AppSnapshot snap;
    snap.bundleId = app.bundleIdentifier;
    snap.name = app.localizedName.isEmpty() ? app.bundleIdentifier.section(QLatin1Char('.'), -1) : app.localizedName;
    snap.pid = app.pid;
    snap.isResponding = verdict.value_or(!app.isTerminated && app.isFinishedLaunching);
    snap.launchDate = app.launchDate;

    if (const auto figures = m_source.processFigures(app.pid)) {
        const auto previous = m_samples.constFind(app.pid);
        snap.cpuPercent = processCpuPercent(previous == m_samples.cend() ? std::nullopt : std::optional(*previous),
                                            figures->cpuSeconds, now, coreCount);
        snap.memoryMB = double(figures->residentBytes) / 1048576.0;
        if (figures->startTime)
            snap.launchDate = figures->startTime;
        m_samples.insert(app.pid, ProcessSample{figures->cpuSeconds, now});
    }
    return snap;
}

} // namespace vesk
