#pragma once

#include "platform/SystemInfoTypes.h"

#include <QDateTime>

#include <optional>

namespace vesk {

// A process's CPU time when it was last sampled.
struct ProcessSample {
    double totalCPUSeconds = 0;
    QDateTime timestamp;
};

// Machine-wide busy percentage between two tick readings: 0 without a previous reading or
// when no tick moved; (user + system + nice) / all four, clamped to 0...100. Counters that
// went backwards (a processor taken offline) never make it negative.
double machineCpuUsage(const std::optional<CpuTicks> &previous, const CpuTicks &current);

// A process's CPU percentage since its previous sample: 0 without one, when no time passed
// or when its CPU time went backwards; at most coreCount x 100.
double processCpuPercent(const std::optional<ProcessSample> &previous, double totalCPUSeconds, const QDateTime &now,
                         int coreCount);

} // namespace vesk
