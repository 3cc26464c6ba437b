#include "fleetd/http/JsonResponse.h"

#include "fleetd/FleetdLog.h"

namespace vesk::fleetd {

QHttpServerResponse jsonError(QHttpServerResponse::StatusCode status, const QString &message)
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("error"), message}}, status);
}

QHttpServerResponse jsonOk()
{
    return QHttpServerResponse(QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}});
}

QHttpServerResponse jsonObject(const QJsonObject &object, QHttpServerResponse::StatusCode status)
{
    return QHttpServerResponse(object, status);
}

QHttpServerResponse storeFailure(const StoreStatus &status, const QString &what)
{
    using Status = QHttpServerResponse::StatusCode;
    switch (status.code()) {
    case StoreStatus::Code::NotFound:
        return jsonError(Status::NotFound, status.message());
    case StoreStatus::Code::Conflict:
        return jsonError(Status::Conflict, status.message());
    case StoreStatus::Code::Invalid:
        return jsonError(Status::BadRequest, status.message());
    default:
        break;
    }
    qCWarning(lcFleetd) << what << "failed:" << status.message();
    return jsonError(Status::InternalServerError, what + QStringLiteral(" failed"));
}

} // namespace vesk::fleetd
