#pragma once

#include "fleetd/storage/ReportStore.h"
#include "wire/RemoteInstalledApp.h"

#include <QJsonArray>
#include <QList>

#include <optional>

namespace vesk::fleetd {

// A machine's installed-apps report, each app as the agent decodes it; none (and
// `error` naming the first app that fails) when one does not decode.
std::optional<QList<RemoteInstalledApp>> installedAppsFromReport(const QJsonArray &apps, QString *error);
// The stored report as the agent decodes it; an app without its own "reported_at" gets
// the time the report arrived. Apps that no longer decode are left out.
QList<RemoteInstalledApp> installedAppsFromStore(const ReportStore::InstalledApps &stored);

} // namespace vesk::fleetd
