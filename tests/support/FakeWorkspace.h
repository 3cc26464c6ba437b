#pragma once

#include "platform/Clock.h"
#include "platform/StopToken.h"
#include "platform/Workspace.h"

#include <QHash>

namespace vesk::test {

// A workspace held in memory. `running` and `installed` are what the test says; every
// bundle walk answers `installed`. Terminate requests are recorded (and quit the app while
// `quitsOnTerminate` holds, at once or after quitsAfter()'s delay); opening an installed
// bundle adds it to `running` unless the test made that bundle fail or `launchesVanish`.
// Waiting for a process to end takes time on the clock given by useClock(); without one
// the wait only looks.
class FakeWorkspace final : public Workspace {
public:
    QList<RunningApplication> running;
    QList<BundleInfo> installed;
    bool quitsOnTerminate = true;
    // Launches succeed but the process is gone before anyone sees it.
    bool launchesVanish = false;

    void useClock(Clock &clock) { m_clock = &clock; }
    // Apps asked to quit take this long to go (needs useClock()).
    void quitsAfter(std::chrono::milliseconds delay) { m_quitDelay = delay; }

    // Adds an installed bundle for `bundleId` and returns its path.
    QString install(const QString &bundleId, QString path = {});
    // Adds a running app of an installed (or any) bundle and returns its pid.
    qint32 addRunning(const QString &bundleId);
    void failOpening(const QString &path, const QString &error) { m_openErrors.insert(path, error); }
    bool isRunning(const QString &bundleId) const;

    const QList<qint32> &terminated() const { return m_terminated; }
    const QList<qint32> &forceTerminated() const { return m_forceTerminated; }
    const QStringList &opened() const { return m_opened; }

    QList<RunningApplication> runningApplications() override { return running; }
    std::optional<QString> applicationPath(const QString &bundleIdentifier) override;
    QList<BundleInfo> installedApplications() override { return installed; }
    void refreshApplications() override {}
    QList<BundleInfo> findBundles(const QStringList &) const override { return installed; }
    std::optional<BundleInfo> bundleInfo(const QString &bundlePath) const override;
    std::optional<qint64> allocatedSize(const QString &) const override { return std::nullopt; }
    std::optional<QDateTime> lastUsedDate(const QString &) const override { return std::nullopt; }

    QCoro::Task<LaunchOutcome> openApplication(const QString &bundlePath) override;
    bool terminate(qint32 pid) override;
    bool forceTerminate(qint32 pid) override;
    QCoro::Task<bool> waitForTermination(qint32 pid, std::chrono::milliseconds timeout) override;

private:
    qint32 startRunning(const QString &bundleId, const QString &path);
    bool removeRunning(qint32 pid);

    Clock *m_clock = nullptr;
    std::chrono::milliseconds m_quitDelay{0};
    QHash<qint32, StopSource> m_exits; // the waits on each running pid
    QHash<QString, QString> m_openErrors;
    QList<qint32> m_terminated;
    QList<qint32> m_forceTerminated;
    QStringList m_opened;
    qint32 m_nextPid = 1000;
};

} // namespace vesk::test
