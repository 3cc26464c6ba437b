#pragma once

#include <QByteArray>
#include <QHttpServerResponse>
#include <QJsonObject>

class QHttpServerRequest;

namespace vesk::fleetd {

// Reads agents repeat every few seconds (their policy, the release list) answer with an ETag,
// a hash of the exact body; a request whose If-None-Match names it (or "*") gets 304 Not
// Modified with the same ETag and no body, so an unchanged answer costs headers only.
QHttpServerResponse conditionalJson(const QHttpServerRequest &request, const QJsonObject &object);

// The quoted strong ETag of `body`.
QByteArray entityTag(const QByteArray &body);

// Whether an If-None-Match value (a comma-separated list, weak tags compared weakly) names `etag`.
bool matchesIfNoneMatch(const QByteArray &ifNoneMatch, const QByteArray &etag);

} // namespace vesk::fleetd
