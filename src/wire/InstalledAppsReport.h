#pragma once

#include "wire/RemoteInstalledApp.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// A machine's report of its installed family applications; the server stores the entries
// and hands them back as RemoteInstalledAppsResponse.
struct InstalledAppsReport {
    QString serial;
    QList<RemoteInstalledApp> apps;

    static std::optional<InstalledAppsReport> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const InstalledAppsReport &) const = default;
};

} // namespace vesk
