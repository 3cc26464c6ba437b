#pragma once

#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <atomic>

namespace vesk::test {

// Passes every question to a real workspace, counts the folder walks (which run on worker
// threads) and shows only the running applications whose bundle lies under the test's root:
// other programs on a build machine may well be running bundles with family identifiers.
class TestWorkspace final : public Workspace {
public:
    TestWorkspace(Workspace &real, QString root) : m_real(real), m_root(std::move(root) + QLatin1Char('/')) {}

    int walks() const { return m_walks.load(); }
    // A test sets a gate to hold every size walk until it releases one permit per bundle.
    QSemaphore *sizeGate = nullptr;
    bool sizedOnMainThread() const { return m_sizedOnMainThread.load(); }

    QList<RunningApplication> runningApplications() override
    {
        QList<RunningApplication> mine;
        for (const RunningApplication &app : m_real.runningApplications()) {
            if (app.bundlePath.startsWith(m_root))
                mine.append(app);
        }
        return mine;
    }
    std::optional<QString> applicationPath(const QString &id) override { return m_real.applicationPath(id); }
    QList<BundleInfo> installedApplications() override { return m_real.installedApplications(); }
    void refreshApplications() override { m_real.refreshApplications(); }
    QList<BundleInfo> findBundles(const QStringList &folders) const override
    {
        ++m_walks;
        return m_real.findBundles(folders);
    }
    std::optional<BundleInfo> bundleInfo(const QString &path) const override { return m_real.bundleInfo(path); }
    std::optional<qint64> allocatedSize(const QString &path) const override
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            m_sizedOnMainThread = true;
        // Bounded, so that a walk wrongly run on the main thread fails the test instead of hanging it.
        if (sizeGate && !sizeGate->tryAcquire(1, 5000))
            return std::nullopt;
        return m_real.allocatedSize(path);
    }
    std::optional<QDateTime> lastUsedDate(const QString &path) const override { return m_real.lastUsedDate(path); }

private:
    Workspace &m_real;
    QString m_root;
    mutable std::atomic<int> m_walks{0};
    mutable std::atomic<bool> m_sizedOnMainThread{false};
};

} // namespace vesk::test
