#pragma once

#include "fleetd/storage/StoreStatus.h"
#include "wire/FleetAck.h"

#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace vesk::fleetd {

// Every answer of the fleet server is a JSON object; errors carry {"error": message}.
QHttpServerResponse jsonError(QHttpServerResponse::StatusCode status, const QString &message);
QHttpServerResponse jsonOk();
// {"status": "ok", key: value}.
QHttpServerResponse jsonAck(const FleetAck &ack);
QHttpServerResponse jsonObject(const QJsonObject &object,
                               QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok);
// A failed store operation: NotFound 404, Conflict 409, Invalid 400, anything else
// a logged 500 whose body says only `what` failed.
QHttpServerResponse storeFailure(const StoreStatus &status, const QString &what);
// jsonOk() for a store operation that succeeded, else storeFailure().
QHttpServerResponse storeOutcome(const StoreStatus &status, const QString &what);
// For a store operation that added a row: its id under `idKey`, else storeFailure().
QHttpServerResponse storeOutcome(const StoreResult<qint64> &added, const QString &what, FleetAck::IdKey idKey);

// Each row in the form `toJson` gives it.
template <typename Rows, typename ToJson>
QJsonArray jsonArray(const Rows &rows, ToJson toJson)
{
    QJsonArray array;
    for (const auto &row : rows)
        array.append(toJson(row));
    return array;
}

// For a store read of rows: `object` with the rows under `key` (jsonArray), else
// storeFailure().
template <typename Row, typename ToJson>
QHttpServerResponse storeRows(const StoreResult<QList<Row>> &rows, const QString &what, const QString &key,
                              ToJson toJson, QJsonObject object = {})
{
    if (!rows.status.isOk())
        return storeFailure(rows.status, what);
    object.insert(key, jsonArray(rows.value, toJson));
    return jsonObject(object);
}

// Each store row as its wire record (the toWire of its family).
template <typename Row>
auto wireList(const QList<Row> &rows)
{
    QList<decltype(toWire(rows.value(0)))> records;
    records.reserve(rows.size());
    for (const Row &row : rows)
        records.append(toWire(row));
    return records;
}

// For a store read of rows: the wire answer `answer(rows)` builds, else storeFailure().
template <typename Row, typename Answer>
QHttpServerResponse storeAnswer(const StoreResult<QList<Row>> &rows, const QString &what, Answer answer)
{
    if (!rows.status.isOk())
        return storeFailure(rows.status, what);
    return jsonObject(answer(rows.value).toJson());
}

} // namespace vesk::fleetd
