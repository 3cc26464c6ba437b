#pragma once

#include "monitor/InstalledApp.h"
#include "platform/Workspace.h"

#include <QSet>

namespace vesk {

// Where the update service looks for family apps: only the Applications folder, or
// wherever the workspace has them registered.
enum class InstalledAppsScope { applicationsFolder, entireMachine };

// Finds the family apps installed on this machine; every call reads the disk afresh.
// A discovery has two halves: lookup() asks the workspace which copies are registered and
// which apps run (main thread only), describe() reads the bundles and walks them for their
// size and last use (file system only, any thread). FleetAppDirectory runs describe() on a
// worker; the synchronous calls below do both halves on the calling thread, for benchmarks
// and tools that own no event loop.
class InstalledAppsDiscovery {
public:
    // What the main thread hands to the worker.
    struct Lookup {
        InstalledAppsScope scope = InstalledAppsScope::entireMachine;
        QList<std::pair<QString, QString>> registered; // identifier, bundle path (whole machine only)
        QSet<QString> running;                         // identifiers of running applications
    };

    InstalledAppsDiscovery(Workspace &workspace, QString applicationsFolder);

    Lookup lookup(InstalledAppsScope scope) const;
    QList<InstalledApp> describe(const Lookup &lookup) const;

    // The copy the workspace resolves for each family identifier (fleet reports).
    QList<InstalledApp> installedFamilyApps() const { return familyApps(InstalledAppsScope::entireMachine); }
    // Family bundles anywhere under the Applications folder, registered or not.
    QList<InstalledApp> scanApplicationsFolder() const { return familyApps(InstalledAppsScope::applicationsFolder); }
    QList<InstalledApp> familyApps(InstalledAppsScope scope) const { return describe(lookup(scope)); }

private:
    QList<BundleInfo> registeredBundles(const Lookup &lookup) const;
    QList<BundleInfo> applicationsFolderBundles() const;
    // The size walks dominate: spread over the cores, one bundle each.
    QList<InstalledApp> describeAll(const QList<BundleInfo> &bundles, const QSet<QString> &running) const;

    Workspace &m_workspace;
    QString m_applicationsFolder;
};

} // namespace vesk
