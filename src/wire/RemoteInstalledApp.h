#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// One installed application as a machine reported it. Size and flags read leniently:
// the server may send them as text or, for the flags, as integers.
struct RemoteInstalledApp {
    QString bundleId;
    std::optional<QString> name;
    std::optional<QString> version;
    std::optional<QString> build;
    std::optional<QString> path;
    std::optional<double> fileSizeMb;
    std::optional<bool> isRunning;
    std::optional<bool> isVeskApp; // one of the family's own applications
    std::optional<QString> lastOpened;
    std::optional<QString> reportedAt;

    static std::optional<RemoteInstalledApp> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RemoteInstalledApp &) const = default;
};

// The answer to reading a machine's installed applications.
struct RemoteInstalledAppsResponse {
    QString serial;
    QList<RemoteInstalledApp> apps;

    static std::optional<RemoteInstalledAppsResponse> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const RemoteInstalledAppsResponse &) const = default;
};

} // namespace vesk
