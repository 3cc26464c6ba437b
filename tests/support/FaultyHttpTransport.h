#pragma once

#include "platform/Clock.h"
#include "platform/HttpTransport.h"

#include <optional>

namespace vesk::test {

// What a broken network or fleet server does to one exchange.
enum class HttpFault {
    Refused,     // nothing listens: the exchange fails at once
    TimedOut,    // the server takes the request and never answers; fails after the request's timeout
    ServerError, // the server is up but failing: 503 with an error body
    Truncated,   // the server acts on the request, but only the first half of its answer arrives
};

const char *faultName(HttpFault fault);

// Puts a fault in front of another transport while one is injected; otherwise passes every
// exchange through. A timeout waits on the clock, so a manual clock decides when it fires.
class FaultyHttpTransport final : public HttpTransport {
public:
    FaultyHttpTransport(HttpTransport &inner, Clock &clock) : m_inner(inner), m_clock(clock) {}

    // Faults every exchange, or only those with this URL path.
    void inject(HttpFault fault, QString path = {})
    {
        m_fault = fault;
        m_path = std::move(path);
    }
    void lift() { m_fault.reset(); }
    // Exchanges the fault has met so far.
    int faulted() const { return m_faulted; }

    QCoro::Task<HttpResult> send(HttpRequest request) override;

private:
    HttpTransport &m_inner;
    Clock &m_clock;
    std::optional<HttpFault> m_fault;
    QString m_path;
    int m_faulted = 0;
};

} // namespace vesk::test
