#include "fleet/FleetRequest.h"

#include <QJsonDocument>

namespace vesk {

FleetRequest FleetRequest::get(QString path, QList<QPair<QString, QString>> query)
{
    return withoutBody("GET", std::move(path), std::move(query));
}

FleetRequest FleetRequest::json(QByteArray method, QString path, const QJsonObject &body)
{
    FleetRequest request;
    request.method = std::move(method);
    request.path = std::move(path);
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.contentType = "application/json";
    return request;
}

FleetRequest FleetRequest::withoutBody(QByteArray method, QString path, QList<QPair<QString, QString>> query)
{
    FleetRequest request;
    request.method = std::move(method);
    request.path = std::move(path);
    request.query = std::move(query);
    return request;
}

} // namespace vesk
