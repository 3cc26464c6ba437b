#include "fleet/SpeedTest.h"

#include "fleet/FleetExchange.h"

#include <algorithm>

namespace vesk {

namespace {
const QString kPath = QStringLiteral("speedtest");
// A request cannot take no time at all; this keeps the rates finite on a coarse timer.
constexpr double kShortestSeconds = 1e-9;
} // namespace

MonotonicNow steadyMonotonicNow()
{
    return [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

SpeedTest::SpeedTest(FleetExchange &exchange, MonotonicNow now)
    : m_exchange(exchange)
    , m_now(now ? std::move(now) : steadyMonotonicNow())
{
}

QCoro::Task<APIResult<double>> SpeedTest::timed(FleetRequest request)
{
    const std::chrono::nanoseconds started = m_now();
    const APIResult<HttpResponse> response = co_await m_exchange.perform(std::move(request));
    const std::chrono::nanoseconds finished = m_now();
    if (!response)
        co_return APIResult<double>(response.error());
    const double seconds = std::chrono::duration<double>(finished - started).count();
    co_return APIResult<double>(std::max(seconds, kShortestSeconds));
}

QCoro::Task<APIResult<SpeedTestResult>> SpeedTest::run()
{
    const APIResult<double> latency = co_await timed(FleetRequest::withoutBody("HEAD", kPath));
    if (!latency)
        co_return APIResult<SpeedTestResult>(latency.error());

    const QList<QPair<QString, QString>> size = {{QStringLiteral("size"), QString::number(transferBytes)}};
    const APIResult<double> download = co_await timed(FleetRequest::get(kPath, size));
    if (!download)
        co_return APIResult<SpeedTestResult>(download.error());

    FleetRequest upload = FleetRequest::withoutBody("POST", kPath);
    upload.contentType = "application/octet-stream";
    upload.body = QByteArray(transferBytes, '\0');
    const qint64 bytesSent = upload.body.size();
    const APIResult<double> uploaded = co_await timed(std::move(upload));
    if (!uploaded)
        co_return APIResult<SpeedTestResult>(uploaded.error());

    SpeedTestResult result;
    result.latencyMs = *latency * 1000.0;
    // The requested size counts, whatever length the body came back with.
    result.downloadMbps = double(transferBytes * 8) / (*download * 1'000'000.0);
    result.uploadMbps = double(bytesSent * 8) / (*uploaded * 1'000'000.0);
    co_return result;
}

} // namespace vesk
