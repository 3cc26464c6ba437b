#include "fleetd/http/JsonRequest.h"

#include "fleetd/http/BodyEncoding.h"

#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonParseError>

namespace vesk::fleetd {

namespace {

// "application/json", optionally with parameters such as "; charset=utf-8".
bool isJsonContentType(const QByteArray &value)
{
    const QByteArray mediaType = value.split(';').constFirst().trimmed().toLower();
    return mediaType == "application/json";
}

} // namespace

JsonRequest::Result JsonRequest::readObject(const QHttpServerRequest &request, qsizetype maxBytes)
{
    Result result;
    const QByteArray body = BodyEncoding::body(request);
    if (body.size() > maxBytes) {
        result.error = QStringLiteral("request body exceeds %1 bytes").arg(maxBytes);
        return result;
    }
    if (!isJsonContentType(request.value("Content-Type"))) {
        result.error = QStringLiteral("Content-Type must be application/json");
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error =
            QStringLiteral("malformed JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return result;
    }
    if (!document.isObject()) {
        result.error = QStringLiteral("request body must be a JSON object");
        return result;
    }
    result.object = document.object();
    return result;
}

} // namespace vesk::fleetd
