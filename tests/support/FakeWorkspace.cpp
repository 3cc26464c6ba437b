#include "FakeWorkspace.h"

#include <algorithm>

namespace vesk::test {

QString FakeWorkspace::install(const QString &bundleId, QString path)
{
    if (path.isEmpty())
        path = QStringLiteral("/Applications/") + bundleId.section(QLatin1Char('.'), -1) + QStringLiteral(".app");
    installed.append(BundleInfo{path, bundleId, {}, {}, {}, {}, {}});
    return path;
}

qint32 FakeWorkspace::addRunning(const QString &bundleId)
{
    return startRunning(bundleId, applicationPath(bundleId).value_or(QString()));
}

qint32 FakeWorkspace::startRunning(const QString &bundleId, const QString &path)
{
    RunningApplication app;
    app.bundleIdentifier = bundleId;
    app.pid = m_nextPid++;
    app.bundlePath = path;
    app.isFinishedLaunching = true;
    running.append(app);
    return app.pid;
}

bool FakeWorkspace::isRunning(const QString &bundleId) const
{
    return std::any_of(running.cbegin(), running.cend(),
                       [&](const RunningApplication &app) { return app.bundleIdentifier == bundleId; });
}

std::optional<QString> FakeWorkspace::applicationPath(const QString &bundleIdentifier)
{
    for (const BundleInfo &info : installed) {
        if (info.bundleIdentifier == bundleIdentifier)
            return info.path;
    }
    return std::nullopt;
}

std::optional<BundleInfo> FakeWorkspace::bundleInfo(const QString &bundlePath) const
{
    for (const BundleInfo &info : installed) {
        if (info.path == bundlePath)
            return info;
    }
    return std::nullopt;
}

QCoro::Task<LaunchOutcome> FakeWorkspace::openApplication(const QString &bundlePath)
{
    m_opened.append(bundlePath);
    if (const auto error = m_openErrors.constFind(bundlePath); error != m_openErrors.cend())
        co_return LaunchOutcome{false, 0, *error};
    const auto info = bundleInfo(bundlePath);
    const QString id = info && info->bundleIdentifier ? *info->bundleIdentifier : QString();
    if (launchesVanish)
        co_return LaunchOutcome{true, m_nextPid++, {}};
    co_return LaunchOutcome{true, startRunning(id, bundlePath), {}};
}

bool FakeWorkspace::removeRunning(qint32 pid)
{
    const bool removed = running.removeIf([pid](const RunningApplication &app) { return app.pid == pid; }) > 0;
    // Taken out first: the waiters resume at once and may come back here.
    if (auto exit = m_exits.find(pid); exit != m_exits.end()) {
        StopSource ended = *exit;
        m_exits.erase(exit);
        ended.requestStop();
    }
    return removed;
}

bool FakeWorkspace::terminate(qint32 pid)
{
    m_terminated.append(pid);
    if (!quitsOnTerminate)
        return true;
    if (m_clock && m_quitDelay > std::chrono::milliseconds(0))
        m_clock->scheduleWake(m_quitDelay, [this, pid] { removeRunning(pid); });
    else
        removeRunning(pid);
    return true;
}

bool FakeWorkspace::forceTerminate(qint32 pid)
{
    m_forceTerminated.append(pid);
    return removeRunning(pid);
}

QCoro::Task<bool> FakeWorkspace::waitForTermination(qint32 pid, std::chrono::milliseconds timeout)
{
    const auto gone = [this, pid] {
        return std::none_of(running.cbegin(), running.cend(), [pid](const RunningApplication &app) { return app.pid == pid; });
    };
    if (gone() || !m_clock || timeout <= std::chrono::milliseconds(0))
        co_return gone();
    const StopToken ended = m_exits[pid].token();
    const bool timedOut = co_await m_clock->sleep(timeout, ended);
    Q_UNUSED(timedOut)
    co_return gone();
}

} // namespace vesk::test
