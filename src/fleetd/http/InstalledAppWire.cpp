#include "fleetd/http/InstalledAppWire.h"

#include "fleetd/FleetdLog.h"

namespace vesk::fleetd {

QJsonArray installedAppsToStore(const QList<RemoteInstalledApp> &apps)
{
    QJsonArray stored;
    for (const RemoteInstalledApp &app : apps)
        stored.append(app.toJson());
    return stored;
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
