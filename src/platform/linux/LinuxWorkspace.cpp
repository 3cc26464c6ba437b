#include "platform/linux/LinuxWorkspace.h"

#include "platform/linux/BundleLayout.h"
#include "platform/linux/BundleWalker.h"
#include "platform/linux/DetachedLauncher.h"
#include "platform/linux/ProcessSignals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimeZone>

#include <algorithm>

#include <csignal>
#include <sys/stat.h>

namespace vesk {

namespace {

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QString runningName(const BundleInfo &info)
{
    if (info.displayName && !info.displayName->isEmpty())
        return *info.displayName;
    if (info.name && !info.name->isEmpty())
        return *info.name;
    return QFileInfo(info.path).completeBaseName();
}

} // namespace

LinuxWorkspace::LinuxWorkspace(QStringList applicationFolders, ProcessTable processes,
                               std::chrono::milliseconds rescanPeriod)
    : m_folders(std::move(applicationFolders)), m_processes(std::move(processes)), m_rescanPeriod(rescanPeriod)
{
    m_bootTime = m_processes.bootTime();
    if (const qint64 hz = m_processes.ticksPerSecond(); hz > 0)
        m_ticksPerSecond = hz;
}

QList<RunningApplication> LinuxWorkspace::runningApplications()
{
    struct Match {
        ProcStat stat;
        QString bundle;
    };
    // Only bundles inside our own application folders count: an application run from anywhere
    // else (a download, another agent's folders on the same machine) is not ours to watch.
    QStringList owned;
    const auto addPrefix = [&owned](const QString &folder) {
        owned.append(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    };
    for (const QString &folder : m_folders) {
        const QString clean = QDir::cleanPath(folder);
        if (!clean.startsWith(QLatin1Char('/')))
            continue;
        addPrefix(clean);
        const QString canonical = QFileInfo(clean).canonicalFilePath();
        if (!canonical.isEmpty() && canonical != clean)
            addPrefix(canonical);
    }
    const auto isOwned = [&owned](const QString &bundle) {
        return std::any_of(owned.cbegin(), owned.cend(), [&bundle](const QString &prefix) { return bundle.startsWith(prefix); });
    };

    QHash<qint32, Match> matches;
    for (ProcessBundleMap::Match &match : m_processBundles.scan(m_processes)) {
        if (!isOwned(match.bundle))
            continue;
        const auto stat = m_processes.stat(match.pid);
        if (!stat)
            continue;
        matches.insert(match.pid, Match{*stat, std::move(match.bundle)});
    }

    QSet<QString> bundles;
    QHash<QString, BundleInfo> infos;
    QList<RunningApplication> apps;
    for (auto it = matches.cbegin(); it != matches.cend(); ++it) {
        const Match &m = it.value();
        const auto parent = matches.constFind(m.stat.ppid);
        if (parent != matches.cend() && parent->bundle == m.bundle)
            continue;
        if (!infos.contains(m.bundle))
            infos.insert(m.bundle, m_runningInfos.read(m.bundle).value_or(BundleInfo{m.bundle, {}, {}, {}, {}, {}, {}}));
        const BundleInfo &info = infos[m.bundle];
        bundles.insert(m.bundle);

        RunningApplication app;
        app.bundleIdentifier = info.bundleIdentifier.value_or(QString());
        app.pid = m.stat.pid;
        app.localizedName = runningName(info);
        app.bundlePath = m.bundle;
        if (m_bootTime)
            app.launchDate = processStartTime(*m_bootTime, m.stat.startTicks, m_ticksPerSecond);
        app.isTerminated = isEndedState(m.stat.state);
        app.isFinishedLaunching = !app.isTerminated && !isStoppedState(m.stat.state);
        apps.append(std::move(app));
    }
    m_runningInfos.retain(bundles);
    std::sort(apps.begin(), apps.end(), [](const auto &a, const auto &b) { return a.pid < b.pid; });
    return apps;
}

QList<qint64> LinuxWorkspace::folderStamps() const
{
    QList<qint64> stamps;
    for (const QString &folder : m_folders) {
        struct stat st;
        stamps.append(::stat(QFile::encodeName(folder).constData(), &st) == 0 ? nanoseconds(st.st_mtim) : -1);
    }
    return stamps;
}

void LinuxWorkspace::ensureScanned()
{
    const QList<qint64> stamps = folderStamps();
    const bool fresh = m_scanAge.isValid() &&
                       std::chrono::nanoseconds(m_scanAge.nsecsElapsed()) < m_rescanPeriod;
    if (m_scanned && stamps == m_stamps && fresh)
        return;
    m_stamps = stamps;
    m_scanAge.start();
    m_installed = findBundles(m_folders);
    m_byIdentifier.clear();
    for (qsizetype i = 0; i < m_installed.size(); ++i) {
        const auto &id = m_installed[i].bundleIdentifier;
        if (id && !id->isEmpty() && !m_byIdentifier.contains(*id))
            m_byIdentifier.insert(*id, i);
    }
    m_scanned = true;
}

std::optional<QString> LinuxWorkspace::applicationPath(const QString &bundleIdentifier)
{
    ensureScanned();
    const auto it = m_byIdentifier.constFind(bundleIdentifier);
    if (it == m_byIdentifier.cend())
        return std::nullopt;
    return m_installed[*it].path;
}

QList<BundleInfo> LinuxWorkspace::installedApplications()
{
    ensureScanned();
    return m_installed;
}

void LinuxWorkspace::refreshApplications()
{
    m_scanned = false;
}

QList<BundleInfo> LinuxWorkspace::findBundles(const QStringList &folders) const
{
    QList<BundleInfo> out;
    for (const QString &path : findBundleFolders(folders))
        out.append(bundleInfo(path).value_or(BundleInfo{path, {}, {}, {}, {}, {}, {}}));
    return out;
}

std::optional<BundleInfo> LinuxWorkspace::bundleInfo(const QString &bundlePath) const
{
    return readBundleInfo(bundlePath);
}

std::optional<qint64> LinuxWorkspace::allocatedSize(const QString &bundlePath) const
{
    return allocatedBytes(bundlePath);
}

std::optional<QDateTime> LinuxWorkspace::lastUsedDate(const QString &bundlePath) const
{
    const auto info = readBundleInfo(bundlePath);
    if (!info || !info->executable)
        return std::nullopt;
    const QString exe = executablesDir(bundlePath) + QLatin1Char('/') + *info->executable;
    struct stat st;
    if (::stat(QFile::encodeName(exe).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (nanoseconds(st.st_atim) <= nanoseconds(st.st_mtim))
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(nanoseconds(st.st_atim) / 1000000, QTimeZone::utc());
}

QCoro::Task<LaunchOutcome> LinuxWorkspace::openApplication(const QString &bundlePath)
{
    const auto info = readBundleInfo(bundlePath);
    if (!info || !info->executable)
        co_return LaunchOutcome{false, 0, QStringLiteral("The bundle names no executable.")};
    // Opening a running application brings no second copy, as on the desktop.
    const QString wanted = QFileInfo(bundlePath).canonicalFilePath();
    for (const RunningApplication &app : runningApplications()) {
        if (!app.isTerminated && !wanted.isEmpty() && QFileInfo(app.bundlePath).canonicalFilePath() == wanted)
            co_return LaunchOutcome{true, 0, {}};
    }
    const QString exe = executablesDir(bundlePath) + QLatin1Char('/') + *info->executable;
    co_return launchDetached(exe, {exe});
}

bool LinuxWorkspace::terminate(qint32 pid)
{
    if (!signalApplication(pid, SIGTERM))
        return false;
    // A stopped process keeps SIGTERM pending until it runs again: continue it so the
    // request is delivered instead of waiting for whoever stopped it.
    if (const auto stat = m_processes.stat(pid); stat && isStoppedState(stat->state))
        signalApplication(pid, SIGCONT);
    return true;
}

bool LinuxWorkspace::forceTerminate(qint32 pid)
{
    return signalApplication(pid, SIGKILL);
}

QCoro::Task<bool> LinuxWorkspace::waitForTermination(qint32 pid, std::chrono::milliseconds timeout)
{
    const bool ended = co_await waitForProcessExit(pid, timeout);
    co_return ended;
}

} // namespace vesk
