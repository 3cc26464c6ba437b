#include "fleetd/http/JsonResponse.h"

#include "wire/FleetAck.h"
#include "wire/FleetErrorAnswer.h"

#include "fleetd/FleetdLog.h"

namespace vesk::fleetd {

QHttpServerResponse jsonError(QHttpServerResponse::StatusCode status, const QString &message)
{
    FleetErrorAnswer answer;
    answer.error = message;
    return QHttpServerResponse(answer.toJson(), status);
}

QHttpServerResponse jsonOk()
{
    return jsonAck(FleetAck{});
}

QHttpServerResponse jsonAck(const FleetAck &ack)
{
    return QHttpServerResponse(ack.toJson());
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

QHttpServerResponse storeOutcome(const StoreStatus &status, const QString &what)
{
    return status.isOk() ? jsonOk() : storeFailure(status, what);
}

QHttpServerResponse storeOutcome(const StoreResult<qint64> &added, const QString &what, FleetAck::IdKey idKey)
{
    return added.status.isOk() ? jsonAck(FleetAck::withId(idKey, added.value)) : storeFailure(added.status, what);
}

} // namespace vesk::fleetd
