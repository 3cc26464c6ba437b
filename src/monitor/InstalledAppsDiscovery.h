#pragma once

#include "monitor/InstalledApp.h"
#include "platform/Workspace.h"

#include <QSet>

namespace vesk {

// Where the update service looks for family apps: only the Applications folder, or
// wherever the workspace has them registered.
enum class InstalledAppsScope { applicationsFolder, entireMachine };

// Finds the family apps installed on this machine. Plain synchronous queries of the
// workspace and the file system; every call reads the disk afresh.
class InstalledAppsDiscovery {
public:
    InstalledAppsDiscovery(Workspace &workspace, QString applicationsFolder);

    // The copy the workspace resolves for each family identifier (fleet reports).
    QList<InstalledApp> installedFamilyApps() const;
    // Family bundles anywhere under the Applications folder, registered or not.
    QList<InstalledApp> scanApplicationsFolder() const;
    QList<InstalledApp> familyApps(InstalledAppsScope scope) const;

private:
    QSet<QString> runningIdentifiers() const;
    // The bundle's files are read on worker threads, one bundle each.
    QList<InstalledApp> describeAll(const QList<BundleInfo> &bundles) const;

    Workspace &m_workspace;
    QString m_applicationsFolder;
};

} // namespace vesk
