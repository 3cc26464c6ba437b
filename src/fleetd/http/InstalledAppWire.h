#pragma once

#include "fleetd/storage/ReportStore.h"
#include "wire/RemoteInstalledApp.h"

#include <QJsonArray>
#include <QList>

#include <optional>

namespace vesk::fleetd {

// A machine's reported apps as the store keeps them: each app in its wire form.
QJsonArray installedAppsToStore(const QList<RemoteInstalledApp> &apps);
// The stored report as the agent decodes it; an app without its own "reported_at" gets
// the time the report arrived. Apps that no longer decode are left out.
QList<RemoteInstalledApp> installedAppsFromStore(const ReportStore::InstalledApps &stored);

} // namespace vesk::fleetd
