#include "heartbeat/Heartbeat.h"

#include <QUrl>

#include <cmath>
#include <cstdio>

namespace vesk {

namespace {

// Seconds from the configuration as a timer duration; nonsense (negative, NaN) means no wait.
std::chrono::milliseconds toDuration(double seconds)
{
    if (!(seconds > 0))
        return std::chrono::milliseconds(0);
    // Far beyond any useful interval, and still inside the 64-bit range.
    constexpr double kMaxMs = 1e15;
    return std::chrono::milliseconds(std::llround(std::min(seconds * 1000.0, kMaxMs)));
}

QString wholeSeconds(double seconds)
{
    if (std::isfinite(seconds) && std::fabs(seconds) < 1e15)
        return QString::number(static_cast<qint64>(std::trunc(seconds)));
    return QString::number(seconds);
}

// A request needs a place to go: text that does not parse strictly as a URL, or a URL
// without a scheme or a host (a relative path, "https:///x"), is not an endpoint.
QUrl endpointUrl(const QString &endpoint)
{
    const QUrl url(endpoint, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return {};
    return url;
}

} // namespace

Heartbeat::Heartbeat(HeartbeatConfig config, HttpTransport &transport, Clock &clock, TextSource hardwareSerial,
                     TextSource hostName, QObject *parent)
    : QObject(parent), m_config(std::move(config)), m_transport(transport), m_clock(clock),
      m_hardwareSerial(std::move(hardwareSerial)), m_hostName(std::move(hostName))
{
}

Heartbeat::~Heartbeat()
{
    // Wakes a sleeping loop now so it ends instead of waiting on a clock that outlives us.
    stop();
}

void Heartbeat::start(StateProvider stateProvider)
{
    stop();
    m_loopStop.emplace();
    m_running = true;
    log(QStringLiteral("info"), QStringLiteral("Heartbeat started (interval: %1s, app: %2)")
                                    .arg(wholeSeconds(m_config.interval), m_config.appType));
    beatLoop(QPointer<Heartbeat>(this), std::move(stateProvider), m_loopStop->token());
}

void Heartbeat::stop()
{
    m_running = false;
    if (!m_loopStop)
        return;
    // Cleared first: the stop resumes the loop synchronously, and it may call back into us.
    StopSource source = *m_loopStop;
    m_loopStop.reset();
    source.requestStop();
}

QCoro::Task<> Heartbeat::beatLoop(QPointer<Heartbeat> self, StateProvider stateProvider, StopToken token)
{
    for (;;) {
        if (!self || token.stopRequested())
            co_return;
        const HeartbeatPayload payload = co_await stateProvider();
        if (!self || token.stopRequested())
            co_return;
        const bool delivered = co_await self->sendOnce(payload);
        Q_UNUSED(delivered) // a failed beat waits for the next interval like any other
        if (!self || token.stopRequested())
            co_return;
        const bool slept = co_await self->m_clock.sleep(toDuration(self->m_config.interval), token);
        if (!slept)
            co_return;
    }
}

QCoro::Task<bool> Heartbeat::sendOnce(HeartbeatPayload payload)
{
    m_lastAttemptAt = m_clock.now();

    const QUrl url = endpointUrl(m_config.endpoint);
    if (url.isEmpty()) {
        log(QStringLiteral("error"), QStringLiteral("HEARTBEAT bad endpoint URL: ") + m_config.endpoint);
        co_return finish(false, QStringLiteral("bad endpoint URL: ") + m_config.endpoint);
    }

    QString encodeError;
    const std::optional<QByteArray> body = payload.encode(&encodeError);
    if (!body) {
        log(QStringLiteral("error"), QStringLiteral("HEARTBEAT encode failed: ") + encodeError);
        co_return finish(false, QStringLiteral("encode failed: ") + encodeError);
    }

    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = *body;
    request.timeout = toDuration(m_config.timeout);

    // The heartbeat may be destroyed while the request is out; then the answer is dropped.
    const QPointer<Heartbeat> self(this);
    const HttpResult result = co_await m_transport.send(std::move(request));
    if (!self)
        co_return false;

    // Our transport answers only with HTTP responses, so there is no non-HTTP answer to skip.
    if (!result.ok()) {
        log(QStringLiteral("error"), QStringLiteral("HEARTBEAT failed: ") + result.error);
        co_return finish(false, result.error);
    }
    const int status = result.response->status;
    if (status >= 200 && status <= 299) {
        m_lastSuccessAt = m_clock.now();
        log(QStringLiteral("info"), QStringLiteral("HEARTBEAT OK HTTP %1").arg(status));
        co_return finish(true);
    }
    log(QStringLiteral("error"), QStringLiteral("HEARTBEAT HTTP %1").arg(status));
    co_return finish(false, QStringLiteral("HTTP %1").arg(status));
}

QString Heartbeat::machineSerial() const
{
    const QString serial = m_hardwareSerial ? m_hardwareSerial() : QString();
    if (!serial.isEmpty())
        return serial;
    const QString host = m_hostName ? m_hostName() : QString();
    if (!host.isEmpty())
        return host;
    return QStringLiteral("unknown");
}

bool Heartbeat::finish(bool delivered, const QString &error)
{
    emit beatFinished(HeartbeatOutcome{*m_lastAttemptAt, delivered, error});
    return delivered;
}

void Heartbeat::log(const QString &level, const QString &message) const
{
    if (m_logger) {
        m_logger(level, message);
        return;
    }
    const QByteArray line =
        (QLatin1Char('[') + m_clock.localNow().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] ") + message + QLatin1Char('\n'))
            .toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace vesk
