#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// What the agent tells the fleet server about its push token.
struct PushTokenRegistration {
    QString serial;
    QString token;
    bool isAgent = false;
    QString platform = QStringLiteral("macos");
    QString alertScope; // "photographer" or "location"
    std::optional<QString> tenantCode;
    std::optional<QString> eventcode;

    static std::optional<PushTokenRegistration> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const PushTokenRegistration &) const = default;
};

} // namespace vesk
