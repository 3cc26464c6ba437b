#include "monitor/InstalledAppsDiscovery.h"

#include "monitor/FamilyApps.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace vesk {

namespace {

const QString kUnknown = QStringLiteral("Unknown");

} // namespace

InstalledAppsDiscovery::InstalledAppsDiscovery(Workspace &workspace, QString applicationsFolder)
    : m_workspace(workspace), m_applicationsFolder(std::move(applicationsFolder))
{
}

InstalledAppsDiscovery::Lookup InstalledAppsDiscovery::lookup(InstalledAppsScope scope) const
{
    Lookup lookup;
    lookup.scope = scope;
    for (const RunningApplication &app : m_workspace.runningApplications()) {
        if (!app.bundleIdentifier.isEmpty())
            lookup.running.insert(app.bundleIdentifier);
    }
    if (scope == InstalledAppsScope::entireMachine) {
        for (const QString &id : familyBundleIds()) {
            if (const auto path = m_workspace.applicationPath(id))
                lookup.registered.append({id, *path});
        }
    }
    return lookup;
}

QList<InstalledApp> InstalledAppsDiscovery::describe(const Lookup &lookup) const
{
    const QList<BundleInfo> bundles = lookup.scope == InstalledAppsScope::applicationsFolder
                                          ? applicationsFolderBundles()
                                          : registeredBundles(lookup);
    return describeAll(bundles, lookup.running);
}

QList<BundleInfo> InstalledAppsDiscovery::registeredBundles(const Lookup &lookup) const
{
    QList<BundleInfo> bundles;
    for (const auto &[id, path] : lookup.registered) {
        auto info = m_workspace.bundleInfo(path);
        if (!info)
            continue; // removed or broken since the workspace registered it
        // Reported under the identifier it was found by.
        info->bundleIdentifier = id;
        bundles.append(std::move(*info));
    }
    return bundles;
}

QList<BundleInfo> InstalledAppsDiscovery::applicationsFolderBundles() const
{
    // One copy per identifier: the shallowest, then the first in path order, so
    // "/Applications/X.app" wins over an old copy parked in a subfolder.
    QList<BundleInfo> found = m_workspace.findBundles({m_applicationsFolder});
    std::stable_sort(found.begin(), found.end(), [](const BundleInfo &a, const BundleInfo &b) {
        const auto da = a.path.count(QLatin1Char('/'));
        const auto db = b.path.count(QLatin1Char('/'));
        return da != db ? da < db : a.path < b.path;
    });
    QSet<QString> seen;
    QList<BundleInfo> bundles;
    for (BundleInfo &info : found) {
        if (!info.bundleIdentifier || !isFamilyApp(*info.bundleIdentifier) || seen.contains(*info.bundleIdentifier))
            continue;
        seen.insert(*info.bundleIdentifier);
        bundles.append(std::move(info));
    }
    return bundles;
}

QList<InstalledApp> InstalledAppsDiscovery::describeAll(const QList<BundleInfo> &bundles,
                                                        const QSet<QString> &running) const
{
    const Workspace &workspace = m_workspace;
    QList<InstalledApp> apps = QtConcurrent::blockingMapped<QList<InstalledApp>>(bundles, [&](const BundleInfo &info) {
        InstalledApp app;
        app.bundleId = info.bundleIdentifier.value_or(QString());
        app.name = info.name.value_or(QFileInfo(info.path).completeBaseName());
        app.version = info.shortVersion.value_or(kUnknown);
        app.build = info.buildVersion.value_or(kUnknown);
        app.path = info.path;
        app.lastOpened = workspace.lastUsedDate(info.path);
        app.fileSize = workspace.allocatedSize(info.path);
        app.isRunning = running.contains(app.bundleId);
        app.iconName = app.name;
        app.isVeskApp = true;
        return app;
    });
    sortInstalledAppsByName(apps);
    return apps;
}

} // namespace vesk
