#pragma once

#include "platform/HttpTransport.h"

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
    // Payload transfers go through files and may take up to an hour in all.
    bool transfer = false;
    QString bodyFile;     // sent instead of `body` when set
    QString responseFile; // receives a successful response's body when set
    // The largest answer held in memory; only a query known to answer in bulk raises it.
    qint64 maxResponseBytes = HttpRequest::kDefaultMaxBodyBytes;
    // An ETag from an earlier answer, sent as If-None-Match; a 304 then counts as an answer.
    QByteArray ifNoneMatch;
    // The serial the body or query names as the sender. When it is this machine's, the server
    // reads it from there and the request goes without X-Device-Serial.
    QString namedSerial;

    static FleetRequest get(QString path, QList<QPair<QString, QString>> query = {});
    static FleetRequest json(QByteArray method, QString path, const QJsonObject &body);
    static FleetRequest withoutBody(QByteArray method, QString path, QList<QPair<QString, QString>> query = {});
};

} // namespace vesk
