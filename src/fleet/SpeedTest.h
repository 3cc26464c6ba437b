#pragma once

#include "fleet/APIResult.h"
#include "fleet/FleetRequest.h"
#include "wire/SpeedTestResult.h"

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>

namespace vesk {

class FleetExchange;

// A monotonic time source for measuring how long a request took. The speed test
// measures real elapsed time, so it reads this rather than the agent's Clock.
using MonotonicNow = std::function<std::chrono::nanoseconds()>;
MonotonicNow steadyMonotonicNow();

// Latency (HEAD), download (GET of 524 288 bytes) and upload (POST of 524 288 bytes)
// against the fleet server's "speedtest" endpoint, one request each.
class SpeedTest {
public:
    static constexpr qint64 transferBytes = 524288;

    SpeedTest(FleetExchange &exchange, MonotonicNow now);

    QCoro::Task<APIResult<SpeedTestResult>> run();

private:
    // Seconds the request took, or its error.
    QCoro::Task<APIResult<double>> timed(FleetRequest request);

    FleetExchange &m_exchange;
    MonotonicNow m_now;
};

} // namespace vesk
