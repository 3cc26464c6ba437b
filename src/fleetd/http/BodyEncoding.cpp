#include "fleetd/http/BodyEncoding.h"

#include "fleetd/http/ConnectionLimits.h"
#include "fleetd/http/JsonResponse.h"
#include "wire/GzipBody.h"

#include <QHttpServerRequest>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

// The request being handled on this thread and its inflated body. Handlers answer before they
// return, so the pair is valid exactly while the handler runs.
struct InflatedBody {
    const QHttpServerRequest *request = nullptr;
    const QByteArray *body = nullptr;
};
thread_local InflatedBody t_current;

class CurrentBody {
public:
    CurrentBody(const QHttpServerRequest &request, const QByteArray &body) : m_saved(t_current)
    {
        t_current = {&request, &body};
    }
    ~CurrentBody() { t_current = m_saved; }
    CurrentBody(const CurrentBody &) = delete;
    CurrentBody &operator=(const CurrentBody &) = delete;

private:
    InflatedBody m_saved;
};

// A 200 JSON answer carries no header but its type and, on the conditional reads, an ETag.
QHttpServerResponse compressed(QHttpServerResponse response)
{
    if (response.statusCode() != Status::Ok || response.mimeType() != "application/json" ||
        response.hasHeader(QByteArrayLiteral("Content-Encoding")))
        return response;
    const QByteArray data = response.data();
    if (data.size() < GzipBody::kMinimumBytes)
        return response;
    QByteArray gzip = GzipBody::compress(data);
    if (gzip.isEmpty() || gzip.size() >= data.size())
        return response;
    QHttpServerResponse smaller(QByteArrayLiteral("application/json"), std::move(gzip));
    for (const QByteArray &etag : response.headers(QByteArrayLiteral("ETag")))
        smaller.addHeader(QByteArrayLiteral("ETag"), etag);
    smaller.setHeader(QByteArrayLiteral("Content-Encoding"), QByteArrayLiteral("gzip"));
    return smaller;
}

} // namespace

bool BodyEncoding::acceptsGzip(const QByteArray &acceptEncoding)
{
    for (const QByteArray &item : acceptEncoding.split(',')) {
        const QList<QByteArray> parts = item.split(';');
        if (parts.constFirst().trimmed().toLower() != "gzip")
            continue;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray parameter = parts.at(i).trimmed().toLower();
            if (parameter.startsWith("q=") && parameter.mid(2).toDouble() <= 0.0)
                return false;
        }
        return true;
    }
    return false;
}

QByteArray BodyEncoding::body(const QHttpServerRequest &request)
{
    if (t_current.request == &request)
        return *t_current.body;
    return request.body();
}

QHttpServerResponse BodyEncoding::handle(const QHttpServerRequest &request, const Route::Handler &handler)
{
    const QByteArray coding = request.value(QByteArrayLiteral("Content-Encoding")).trimmed().toLower();
    const bool gzipAnswer = acceptsGzip(request.value(QByteArrayLiteral("Accept-Encoding")));
    if (coding.isEmpty() || coding == "identity") {
        QHttpServerResponse response = handler(request);
        return gzipAnswer ? compressed(std::move(response)) : std::move(response);
    }
    if (coding != "gzip")
        return jsonError(Status::UnsupportedMediaType, QStringLiteral("Content-Encoding must be gzip or identity"));

    const QByteArray path = request.url().path().toLatin1();
    const qint64 limit = bodyLimitForPath(path);
    const GzipBody::Inflated inflated = GzipBody::inflate(request.body(), limit);
    if (inflated.tooLarge)
        return jsonError(Status::PayloadTooLarge, QStringLiteral("request body inflates past the %1 bytes %2 accepts")
                                                      .arg(limit)
                                                      .arg(QString::fromLatin1(path)));
    if (!inflated.data)
        return jsonError(Status::BadRequest, QStringLiteral("request body is not a whole gzip stream"));
    const CurrentBody current(request, *inflated.data);
    QHttpServerResponse response = handler(request);
    return gzipAnswer ? compressed(std::move(response)) : std::move(response);
}

} // namespace vesk::fleetd
