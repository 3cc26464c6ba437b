#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace vesk {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// A server that is hostile or broken must not hurt the agent: every exchange is bounded in
// time (inactivity and whole-exchange deadline) and in the size of what it receives. A
// response over its cap is aborted as soon as the cap is crossed (its declared
// Content-Length or the bytes received) and ends as a failure; it is never buffered whole.
struct HttpRequest {
    // Two minutes: ample for any JSON exchange, yet a server that trickles bytes cannot hold
    // a loop (command polling, the heartbeat) for good.
    static constexpr std::chrono::milliseconds kDefaultTotalTimeout{120000};
    // 4 MiB: far above any JSON answer the fleet sends (the largest are a few hundred KiB).
    static constexpr qint64 kDefaultMaxBodyBytes = 4LL * 1024 * 1024;
    // 2 GiB: the largest payload archive the agent will write to disk.
    static constexpr qint64 kDefaultMaxFileBytes = 2LL * 1024 * 1024 * 1024;

    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // The longest wait without any progress before the exchange fails as timed out.
    std::chrono::milliseconds timeout{60000};
    // The longest the whole exchange may take, however steadily bytes arrive; a non-positive
    // value means the default. Transfers set their own, longer bound.
    std::chrono::milliseconds totalTimeout = kDefaultTotalTimeout;
    // Large transfers. A non-empty bodyFile is sent instead of `body`, read as it goes; a
    // non-empty responseFile receives a successful (2xx) response's body as it arrives, and the
    // response then carries no body.
    QString bodyFile;
    QString responseFile;
    // The largest response body held in memory (default 4 MiB); this also bounds the body of a
    // failed (non-2xx) answer to a request with a responseFile.
    qint64 maxBodyBytes = kDefaultMaxBodyBytes;
    // The largest body streamed into responseFile (default 2 GiB).
    qint64 maxFileBytes = kDefaultMaxFileBytes;
};

struct HttpResponse {
    int status = 0;
    HttpHeaders headers;
    QByteArray body;

    // Header lookup ignores letter case, as HTTP does.
    std::optional<QByteArray> header(const QByteArray &name) const;
};

// One finished exchange: a response, or the transport's description of why there is none.
struct HttpResult {
    std::optional<HttpResponse> response;
    QString error;

    bool ok() const { return response.has_value(); }
    static HttpResult failure(QString message) { return HttpResult{std::nullopt, std::move(message)}; }
};

// One HTTP request, answered with status, headers and body. Redirects are not followed:
// callers see the status the server sent. The transport names the agent in its own
// User-Agent header.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual QCoro::Task<HttpResult> send(HttpRequest request) = 0;
};

} // namespace vesk
