#pragma once

#include <QJsonObject>
#include <QString>

class QHttpServerRequest;

namespace vesk::fleetd {

// The checks every JSON endpoint shares: size cap, content type, a JSON object body.
class JsonRequest {
public:
    // Bodies above this are refused before parsing; a heartbeat is a few hundred bytes.
    // Log uploads get a larger cap of their own.
    static constexpr qsizetype kMaxBodyBytes = 1024 * 1024;

    // On failure `error` says why, in words fit for the {"error": ...} answer.
    struct Result {
        QJsonObject object;
        QString error;
        bool ok() const { return error.isEmpty(); }
    };

    static Result readObject(const QHttpServerRequest &request, qsizetype maxBytes = kMaxBodyBytes);
};

} // namespace vesk::fleetd
