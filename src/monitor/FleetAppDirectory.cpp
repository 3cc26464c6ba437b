#include "monitor/FleetAppDirectory.h"

#include "monitor/FamilyApps.h"

#include <QFileInfo>
#include <QHash>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>

namespace vesk {

QList<AppRef> mergeAppRefs(const QList<BundleInfo> &bundles)
{
    QList<AppRef> refs;
    QSet<QString> seen;
    for (const BundleInfo &info : bundles) {
        if (!info.bundleIdentifier || info.bundleIdentifier->isEmpty() || seen.contains(*info.bundleIdentifier))
            continue;
        const QString &id = *info.bundleIdentifier;
        seen.insert(id);
        const QString name = info.displayName.value_or(info.name.value_or(QFileInfo(info.path).completeBaseName()));
        refs.append(AppRef{id, name, isFamilyApp(id)});
    }
    for (const AppRef &row : familyAppTable()) {
        if (!seen.contains(row.bundleId))
            refs.append(row);
    }
    sortAppRefsByName(refs);
    return refs;
}

FleetAppDirectory::FleetAppDirectory(Workspace &workspace, Clock &clock, const PlatformPaths &paths, QObject *parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_clock(clock)
    , m_folders(paths.applicationDirs)
    , m_discovery(workspace, paths.applicationsDir())
{
}

FleetAppDirectory::~FleetAppDirectory()
{
    // The walk holds the workspace; let it finish before our owner tears that down.
    m_scan.waitForFinished();
}

QCoro::Task<QList<InstalledApp>> FleetAppDirectory::familyApps(InstalledAppsScope scope)
{
    InstalledAppsDiscovery::Lookup lookup = m_discovery.lookup(scope);
    // The discovery outlives the walk: the pool is destroyed, waiting for it, before it.
    const InstalledAppsDiscovery *discovery = &m_discovery;
    const QFuture<QList<InstalledApp>> walk =
        QtConcurrent::run(&m_discoveryPool, [discovery, lookup = std::move(lookup)] { return discovery->describe(lookup); });
    const QList<InstalledApp> apps = co_await walk;
    co_return apps;
}

QCoro::Task<QList<AppRef>> FleetAppDirectory::allApplications()
{
    if (m_fetchedAt) {
        // A clock set back makes the age negative: rescan rather than trust it for longer.
        const qint64 ageMs = m_fetchedAt->msecsTo(m_clock.now());
        if (ageMs >= 0 && ageMs < kCacheSeconds * 1000) {
            // A copy: QCoro moves from the expression given to co_return.
            const QList<AppRef> cached = m_cachedRefs;
            co_return cached;
        }
    }
    // A finished scan has stored its result already; only a running one is shared.
    if (!m_inFlight || m_inFlight->isFinished()) {
        const Workspace *workspace = &m_workspace;
        m_scan = QtConcurrent::run([workspace, folders = m_folders] { return mergeAppRefs(workspace->findBundles(folders)); });
        // Stored once, on this thread, however many callers wait. When the walk is already
        // done this runs at once, inside then().
        m_inFlight = m_scan.then(this, [this](QList<AppRef> refs) {
            m_cachedRefs = refs;
            m_fetchedAt = m_clock.now();
            return refs;
        });
    }
    const QFuture<QList<AppRef>> pending = *m_inFlight;
    const QList<AppRef> refs = co_await pending;
    co_return refs;
}

} // namespace vesk
