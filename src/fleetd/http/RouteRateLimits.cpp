#include "fleetd/http/RouteRateLimits.h"

#include "fleetd/http/BodyEncoding.h"

#include "fleetd/http/FieldLimits.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/http/RateLimiter.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace vesk::fleetd {

namespace {

using Status = QHttpServerResponse::StatusCode;

QString sourceOf(const QHttpServerRequest &request)
{
    return request.remoteAddress().toString();
}

QHttpServerResponse tooMany(int limit, const char *what)
{
    QHttpServerResponse response =
        jsonError(Status::TooManyRequests, QStringLiteral("more than %1 requests a minute %2").arg(limit).arg(what));
    response.setHeader(QByteArrayLiteral("Retry-After"), QByteArrayLiteral("60"));
    return response;
}

Route::Handler limitHeartbeats(Route::Handler handler, const FleetContext &context)
{
    auto perSerial = std::make_shared<RateLimiter>(RouteRateLimits::kHeartbeatsPerSerial, RouteRateLimits::kWindowMs);
    auto perAddress =
        std::make_shared<RateLimiter>(RouteRateLimits::kHeartbeatsPerAddress, RouteRateLimits::kWindowMs);
    return [handler = std::move(handler), context, perSerial, perAddress](const QHttpServerRequest &request) {
        const QDateTime now = context.now();
        if (!perAddress->allow(sourceOf(request), now))
            return tooMany(RouteRateLimits::kHeartbeatsPerAddress, "from this address");
        // A body that names no serial, or an overlong one, is the handler's to refuse.
        const QString serial =
            QJsonDocument::fromJson(BodyEncoding::body(request)).object().value(QLatin1String("serial")).toString().trimmed();
        if (!serial.isEmpty() && serial.size() <= FieldLimits::kSerial && !perSerial->allow(serial.toLower(), now))
            return tooMany(RouteRateLimits::kHeartbeatsPerSerial, "for this serial");
        return handler(request);
    };
}

Route::Handler limitPerAddress(Route::Handler handler, const FleetContext &context, int limit)
{
    auto perAddress = std::make_shared<RateLimiter>(limit, RouteRateLimits::kWindowMs);
    return [handler = std::move(handler), context, perAddress, limit](const QHttpServerRequest &request) {
        if (!perAddress->allow(sourceOf(request), context.now()))
            return tooMany(limit, "from this address");
        return handler(request);
    };
}

} // namespace

QList<Route> RouteRateLimits::apply(QList<Route> routes, const FleetContext &context)
{
    for (Route &route : routes) {
        if (route.method != QHttpServerRequest::Method::Post)
            continue;
        if (route.path == QLatin1String("/api/heartbeat"))
            route.handler = limitHeartbeats(std::move(route.handler), context);
        else if (route.path == QLatin1String("/api/fetch_fleet_secret"))
            route.handler = limitPerAddress(std::move(route.handler), context, kSecretFetchesPerAddress);
    }
    return routes;
}

} // namespace vesk::fleetd
