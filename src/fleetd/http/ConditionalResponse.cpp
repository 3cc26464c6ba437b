#include "fleetd/http/ConditionalResponse.h"

#include <QCryptographicHash>
#include <QHttpServerRequest>
#include <QJsonDocument>

namespace vesk::fleetd {

namespace {

const QByteArray kETag = QByteArrayLiteral("ETag");

} // namespace

QByteArray entityTag(const QByteArray &body)
{
    // 128 bits of SHA-256: a tag names one body among a machine's few, never a secret.
    return '"' + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(32) + '"';
}

bool matchesIfNoneMatch(const QByteArray &ifNoneMatch, const QByteArray &etag)
{
    for (const QByteArray &item : ifNoneMatch.split(',')) {
        QByteArray tag = item.trimmed();
        if (tag == "*")
            return true;
        if (tag.startsWith("W/"))
            tag = tag.mid(2);
        if (!tag.isEmpty() && tag == etag)
            return true;
    }
    return false;
}

QHttpServerResponse conditionalJson(const QHttpServerRequest &request, const QJsonObject &object)
{
    QByteArray body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    const QByteArray etag = entityTag(body);
    if (matchesIfNoneMatch(request.value(QByteArrayLiteral("If-None-Match")), etag)) {
        QHttpServerResponse notModified(QHttpServerResponse::StatusCode::NotModified);
        notModified.setHeader(kETag, etag);
        return notModified;
    }
    QHttpServerResponse response(QByteArrayLiteral("application/json"), std::move(body));
    response.setHeader(kETag, etag);
    return response;
}

} // namespace vesk::fleetd
