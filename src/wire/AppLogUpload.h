#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace vesk {

// A block of application log text a machine sends to the fleet server.
struct AppLogUpload {
    QString serial;
    QString bundleId;
    QString logText;

    static std::optional<AppLogUpload> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AppLogUpload &) const = default;
};

} // namespace vesk
