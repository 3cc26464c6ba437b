#pragma once

#include "fleetd/http/InputReader.h"
#include "fleetd/http/JsonRequest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Typed reads of a JSON request body's members, with InputReader's first-error rule.
class BodyReader : public InputReader {
public:
    explicit BodyReader(QJsonObject body) : m_body(std::move(body)) {}
    // The request's JSON object body (JsonRequest's checks); a body that fails them
    // leaves the reader failed with the reason.
    explicit BodyReader(const QHttpServerRequest &request, qsizetype maxBytes = JsonRequest::kMaxBodyBytes);

    // A string; `allowEmpty` false also refuses "" and blanks.
    QString string(const QString &key, bool allowEmpty = false);
    QString optionalString(const QString &key);
    // A whole JSON number or a string of decimal digits (agents send both).
    qint64 integer(const QString &key);
    bool boolean(const QString &key);
    QJsonArray array(const QString &key);
    // Absent or null gives an empty object.
    QJsonObject optionalObject(const QString &key);

    const QJsonObject &body() const { return m_body; }

private:
    explicit BodyReader(const JsonRequest::Result &json) : InputReader(json.error), m_body(json.object) {}
    std::optional<QJsonValue> take(const QString &key);

    QJsonObject m_body;
};

} // namespace vesk::fleetd
