#pragma once

#include <ostream>

namespace vesk {

// One network speed measurement against the fleet server.
struct SpeedTestResult {
    double downloadMbps = 0;
    double uploadMbps = 0;
    double latencyMs = 0;

    friend bool operator==(const SpeedTestResult &, const SpeedTestResult &) = default;
};

inline std::ostream &operator<<(std::ostream &out, const SpeedTestResult &result)
{
    return out << "SpeedTestResult(down=" << result.downloadMbps << " Mbps, up=" << result.uploadMbps
               << " Mbps, latency=" << result.latencyMs << " ms)";
}

} // namespace vesk
