#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One block of application log text a machine uploaded.
struct AppLogEntry {
    qint64 id = 0;
    QString serial;
    QString bundleId;
    QString logText;
    QString createdAt;

    static std::optional<AppLogEntry> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AppLogEntry &) const = default;
};

struct AppLogsResponse {
    QString serial;
    QList<AppLogEntry> logs;

    static std::optional<AppLogsResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const AppLogsResponse &) const = default;
};

} // namespace vesk
