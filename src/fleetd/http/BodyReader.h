#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Typed reads of a JSON request body's members. The first problem is remembered as
// a sentence for the 400 answer and later reads return empty values.
class BodyReader {
public:
    explicit BodyReader(QJsonObject body) : m_body(std::move(body)) {}

    // A string; `allowEmpty` false also refuses "" and blanks.
    QString string(const QString &key, bool allowEmpty = false);
    QString optionalString(const QString &key);
    // A whole JSON number or a string of decimal digits (agents send both).
    qint64 integer(const QString &key);
    bool boolean(const QString &key);
    QJsonArray array(const QString &key);
    // Absent or null gives an empty object.
    QJsonObject optionalObject(const QString &key);

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    const QJsonObject &body() const { return m_body; }

private:
    std::optional<QJsonValue> take(const QString &key);
    void fail(const QString &message);

    QJsonObject m_body;
    QString m_error;
};

} // namespace vesk::fleetd
