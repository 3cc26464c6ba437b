#pragma once

#include "platform/WorkspaceTypes.h"

#include <QList>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace vesk {

// The applications of this machine: which run, where each bundle identifier is installed,
// and what a bundle folder holds. Running applications and lookups are asked on the main
// thread; the bundle reads (findBundles, bundleInfo, allocatedSize, lastUsedDate) touch only
// the file system and may be called from worker threads while a sweep runs.
//
// The frontmost application joins this interface later.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The applications running from bundles inside this workspace's application folders.
    virtual QList<RunningApplication> runningApplications() = 0;

    // The bundle registered for an identifier, as a path; none when no installed bundle has it.
    virtual std::optional<QString> applicationPath(const QString &bundleIdentifier) = 0;
    // The bundles of the application folders that lookups answer from.
    virtual QList<BundleInfo> installedApplications() = 0;
    // Forgets what lookups learnt, so the next one sees bundles installed since.
    virtual void refreshApplications() = 0;

    // Every bundle under `folders`, walked recursively without descending into bundles or
    // following symbolic links. Bundles whose Info.plist cannot be read come back with
    // their path only.
    virtual QList<BundleInfo> findBundles(const QStringList &folders) const = 0;
    virtual std::optional<BundleInfo> bundleInfo(const QString &bundlePath) const = 0;
    // Bytes allocated on disk by every file inside the bundle; none when it cannot be walked.
    virtual std::optional<qint64> allocatedSize(const QString &bundlePath) const = 0;
    // When the application was last used, as well as the platform can tell.
    virtual std::optional<QDateTime> lastUsedDate(const QString &bundlePath) const = 0;

    // Starts the application of a bundle in a session of its own, apart from the agent, and
    // answers once it started or could not. An application already running from that
    // bundle is left as it is and counts as launched. A workspace that cannot launch says so.
    virtual QCoro::Task<LaunchOutcome> openApplication(const QString &bundlePath)
    {
        Q_UNUSED(bundlePath)
        co_return LaunchOutcome{false, 0, QStringLiteral("Applications cannot be opened here.")};
    }
    // Asks a running application to quit (terminate) or ends it (forceTerminate). True when
    // the request was delivered, whatever the application then does.
    virtual bool terminate(qint32 pid)
    {
        Q_UNUSED(pid)
        return false;
    }
    virtual bool forceTerminate(qint32 pid)
    {
        Q_UNUSED(pid)
        return false;
    }
    // True once the process has ended (at once when it is already gone), false when
    // `timeout` passed first.
    virtual QCoro::Task<bool> waitForTermination(qint32 pid, std::chrono::milliseconds timeout)
    {
        Q_UNUSED(pid)
        Q_UNUSED(timeout)
        co_return false;
    }
};

} // namespace vesk
