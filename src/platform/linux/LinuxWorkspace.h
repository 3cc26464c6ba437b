#pragma once

#include "platform/Workspace.h"
#include "platform/linux/BundleLayout.h"
#include "platform/linux/ProcessBundleMap.h"
#include "platform/linux/ProcessTable.h"

#include <QElapsedTimer>
#include <QHash>

#include <chrono>

namespace vesk {

// Applications on Linux are ".app" bundle folders in the platform's application folders.
//
// Lookup by identifier answers from one scan of those folders, kept until refreshApplications(),
// until an application folder itself changes (a bundle moved in or out at its top level), or
// until the scan is older than the rescan period: a bundle installed into a subfolder
// (Applications/Lumora/Print.app) changes no top-level folder, so only age finds it.
// When two bundles share an identifier, the one in the earlier application folder wins, then
// the one that comes first in name order.
//
// A running application is a process whose executable, or whose script (the first
// non-option argument of an interpreter), lies in a bundle's Contents/MacOS, and whose bundle
// lies inside one of the application folders: a bundle run from anywhere else is not listed,
// so two agents with folders of their own never see each other's applications. A child that
// runs from the same bundle as its parent is part of that application, not another one.
// Which bundle a process runs from is remembered per process (see ProcessBundleMap), and each
// bundle's Info.plist until the file changes, so a listing costs little more than reading the
// process table and the state of the processes that run from bundles.
//
// Last use: there is no usage index, so we take the access time of the bundle's executable,
// and only when it is later than the file's modification time. Exec reads the file, so under
// the default relatime mounts that is the last launch to within a day; under noatime, or for
// a copy never started since it was written, there is no answer rather than a made-up one.
// (The bundle folder's own access time is useless: every size walk reads it.)
class LinuxWorkspace final : public Workspace {
public:
    // Short enough that an app installed deep down is found within minutes, long enough that
    // the lookups of a busy minute share one walk.
    static constexpr std::chrono::milliseconds defaultRescanPeriod = std::chrono::minutes(5);

    explicit LinuxWorkspace(QStringList applicationFolders, ProcessTable processes = ProcessTable(),
                            std::chrono::milliseconds rescanPeriod = defaultRescanPeriod);

    QList<RunningApplication> runningApplications() override;
    std::optional<QString> applicationPath(const QString &bundleIdentifier) override;
    QList<BundleInfo> installedApplications() override;
    void refreshApplications() override;

    QList<BundleInfo> findBundles(const QStringList &folders) const override;
    std::optional<BundleInfo> bundleInfo(const QString &bundlePath) const override;
    std::optional<qint64> allocatedSize(const QString &bundlePath) const override;
    std::optional<QDateTime> lastUsedDate(const QString &bundlePath) const override;

    // Runs the bundle's CFBundleExecutable from Contents/MacOS (see DetachedLauncher).
    QCoro::Task<LaunchOutcome> openApplication(const QString &bundlePath) override;
    // SIGTERM and SIGKILL, to the application's process group when it leads one. A stopped
    // application is continued after SIGTERM, so the request reaches it.
    bool terminate(qint32 pid) override;
    bool forceTerminate(qint32 pid) override;
    QCoro::Task<bool> waitForTermination(qint32 pid, std::chrono::milliseconds timeout) override;

private:
    void ensureScanned();
    QList<qint64> folderStamps() const;

    QStringList m_folders;
    ProcessTable m_processes;
    ProcessBundleMap m_processBundles;
    BundleInfoCache m_runningInfos;
    std::optional<qint64> m_bootTime; // read once, as the system figures do
    qint64 m_ticksPerSecond = 100;
    bool m_scanned = false;
    std::chrono::milliseconds m_rescanPeriod;
    QElapsedTimer m_scanAge; // monotonic, so a clock change neither hides nor forces a rescan
    QList<qint64> m_stamps;
    QList<BundleInfo> m_installed;
    QHash<QString, qsizetype> m_byIdentifier;
};

} // namespace vesk
