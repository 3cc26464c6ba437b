#pragma once

#include "fleetd/storage/StoreStatus.h"

#include <QHttpServerResponse>
#include <QJsonObject>
#include <QString>

namespace vesk::fleetd {

// Every answer of the fleet server is a JSON object; errors carry {"error": message}.
QHttpServerResponse jsonError(QHttpServerResponse::StatusCode status, const QString &message);
QHttpServerResponse jsonOk();
QHttpServerResponse jsonObject(const QJsonObject &object,
                               QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok);
// A failed store operation: NotFound 404, Conflict 409, Invalid 400, anything else
// a logged 500 whose body says only `what` failed.
QHttpServerResponse storeFailure(const StoreStatus &status, const QString &what);

} // namespace vesk::fleetd
