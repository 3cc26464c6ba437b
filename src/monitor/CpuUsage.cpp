#include "monitor/CpuUsage.h"

#include <algorithm>

namespace vesk {

namespace {
double delta(quint64 now, quint64 before) { return double(now) - double(before); }
} // namespace

double machineCpuUsage(const std::optional<CpuTicks> &previous, const CpuTicks &current)
{
    if (!previous)
        return 0;
    const double user = delta(current.user, previous->user);
    const double system = delta(current.system, previous->system);
    const double idle = delta(current.idle, previous->idle);
    const double nice = delta(current.nice, previous->nice);
    const double total = user + system + idle + nice;
    if (total <= 0)
        return 0;
    return std::clamp((user + system + nice) / total * 100.0, 0.0, 100.0);
}

double processCpuPercent(const std::optional<ProcessSample> &previous, double totalCPUSeconds, const QDateTime &now,
                         int coreCount)
{
    if (!previous)
        return 0;
    const double elapsed = double(previous->timestamp.msecsTo(now)) / 1000.0;
    const double used = totalCPUSeconds - previous->totalCPUSeconds;
    if (elapsed <= 0 || used < 0)
        return 0;
    return std::clamp(used / elapsed * 100.0, 0.0, double(std::max(coreCount, 1)) * 100.0);
}

} // namespace vesk
