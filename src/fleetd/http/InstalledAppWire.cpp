#include "fleetd/http/InstalledAppWire.h"

#include "fleetd/FleetdLog.h"

namespace vesk::fleetd {

std::optional<QList<RemoteInstalledApp>> installedAppsFromReport(const QJsonArray &apps, QString *error)
{
    QList<RemoteInstalledApp> decoded;
    for (qsizetype i = 0; i < apps.size(); ++i) {
        QString why;
        std::optional<RemoteInstalledApp> app = RemoteInstalledApp::fromJson(apps.at(i), &why);
        if (!app) {
            *error = QStringLiteral("apps[%1]: %2").arg(i).arg(why);
            return std::nullopt;
        }
        decoded.append(std::move(*app));
    }
    return decoded;
}

QList<RemoteInstalledApp> installedAppsFromStore(const ReportStore::InstalledApps &stored)
{
    QList<RemoteInstalledApp> apps;
    for (const QJsonValue &value : stored.apps) {
        QString why;
        std::optional<RemoteInstalledApp> app = RemoteInstalledApp::fromJson(value, &why);
        if (!app) {
            qCWarning(lcFleetd) << "stored installed app left out:" << why;
            continue;
        }
        if (!app->reportedAt)
            app->reportedAt = stored.reportedAt;
        apps.append(std::move(*app));
    }
    return apps;
}

} // namespace vesk::fleetd
