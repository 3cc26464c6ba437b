#pragma once

#include "platform/Workspace.h"

#include <QHash>

namespace vesk::test {

// A workspace held in memory. `running` and `installed` are what the test says; every
// bundle walk answers `installed`. Terminate requests are recorded (and quit the app while
// `quitsOnTerminate` holds); opening an installed bundle adds it to `running` unless the
// test made that bundle fail.
class FakeWorkspace final : public Workspace {
public:
    QList<RunningApplication> running;
    QList<BundleInfo> installed;
    bool quitsOnTerminate = true;

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

    QHash<QString, QString> m_openErrors;
    QList<qint32> m_terminated;
    QList<qint32> m_forceTerminated;
    QStringList m_opened;
    qint32 m_nextPid = 1000;
};

} // namespace vesk::test
