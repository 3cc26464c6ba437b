#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

namespace vesk {

// One request to a fleet endpoint, before the client adds the base URL and credentials.
struct FleetRequest {
    QByteArray method = "GET";
    QString path; // relative to the base URL, e.g. "device_policy"
    QList<QPair<QString, QString>> query;
    QByteArray body;
    QByteArray contentType; // empty: no body header

    static FleetRequest get(QString path, QList<QPair<QString, QString>> query = {});
    static FleetRequest json(QByteArray method, QString path, const QJsonObject &body);
    static FleetRequest withoutBody(QByteArray method, QString path, QList<QPair<QString, QString>> query = {});
};

} // namespace vesk
