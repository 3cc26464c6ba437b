#pragma once

#include "monitor/AppRef.h"
#include "monitor/InstalledAppsDiscovery.h"
#include "platform/Clock.h"
#include "platform/PlatformPaths.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>

#include <qcoro/qcorotask.h>

#include <optional>

namespace vesk {

// The agent's one entry point for "which applications are on this machine": the family
// discoveries for reports and updates, and the cached list of every application for the
// console's pickers. Lives on the main thread, which it never holds up: it asks the
// workspace there and awaits the bundle reads and walks, which run on worker threads.
class FleetAppDirectory final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kCacheSeconds = 600;

    FleetAppDirectory(Workspace &workspace, Clock &clock, const PlatformPaths &paths, QObject *parent = nullptr);
    ~FleetAppDirectory() override;

    // A fresh discovery on every call, so a report after an app command sees the change.
    QCoro::Task<QList<InstalledApp>> installedFamilyApps() { return familyApps(InstalledAppsScope::entireMachine); }
    QCoro::Task<QList<InstalledApp>> scanApplicationsFolder() { return familyApps(InstalledAppsScope::applicationsFolder); }
    QCoro::Task<QList<InstalledApp>> familyApps(InstalledAppsScope scope);

    // Every application in the application folders plus the family table, one row per
    // identifier, sorted by name. Answers from the last scan for 600 seconds; callers that
    // arrive while a scan runs share it.
    QCoro::Task<QList<AppRef>> allApplications();

private:
    Workspace &m_workspace;
    Clock &m_clock;
    QStringList m_folders;
    InstalledAppsDiscovery m_discovery;
    QList<AppRef> m_cachedRefs;
    std::optional<QDateTime> m_fetchedAt;
    QFuture<QList<AppRef>> m_scan;                     // the file walk on a worker thread
    std::optional<QFuture<QList<AppRef>>> m_inFlight;  // the walk plus storing its result; finished = idle
    QThreadPool m_discoveryPool; // last member: its destructor waits for a running discovery
};

// Builds the pickers' list from the bundles found on disk (in folder order): the first
// bundle of each identifier wins, named by its display name, else its name, else its file
// name; then the family table adds every family app not found, so it can be chosen for a
// rule before it is installed here.
QList<AppRef> mergeAppRefs(const QList<BundleInfo> &bundles);

} // namespace vesk
