#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// The body of a failed fleet response. Servers put their explanation under "error",
// "message" or "detail"; a member that is not text counts as absent.
struct FleetErrorAnswer {
    std::optional<QString> error;
    std::optional<QString> message;
    std::optional<QString> detail;

    // The first non-empty of error, message and detail; empty when there is none.
    QString text() const;

    // None when the body is not a JSON object.
    static std::optional<FleetErrorAnswer> decode(const QByteArray &body);
    static std::optional<FleetErrorAnswer> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const FleetErrorAnswer &) const = default;
};

} // namespace vesk
