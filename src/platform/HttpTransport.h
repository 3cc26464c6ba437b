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

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // The longest wait without any progress before the exchange fails as timed out.
    std::chrono::milliseconds timeout{60000};
    // Large transfers. A non-empty bodyFile is sent instead of `body`, read as it goes; a
    // non-empty responseFile receives a successful (2xx) response's body as it arrives, and the
    // response then carries no body. totalTimeout, when set, bounds the whole exchange.
    QString bodyFile;
    QString responseFile;
    std::chrono::milliseconds totalTimeout{0};
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
// callers see the status the server sent.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual QCoro::Task<HttpResult> send(HttpRequest request) = 0;
};

} // namespace vesk
