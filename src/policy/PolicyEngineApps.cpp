// The enforcement pass's app steps: keep-alive launches and app restart rules.
#include "policy/PolicyEngine.h"

#include "commands/AppActions.h"
#include "platform/Clock.h"
#include "platform/Workspace.h"
#include "policy/AppRestartDecision.h"
#include "policy/KeepAliveSchedule.h"

#include <QSet>

namespace vesk {

namespace {
QSet<QString> runningBundleIds(Workspace &workspace)
{
    QSet<QString> ids;
    for (const RunningApplication &app : workspace.runningApplications()) {
        if (!app.isTerminated)
            ids.insert(app.bundleIdentifier);
    }
    return ids;
}
} // namespace

QCoro::Task<std::optional<QSet<QString>>> PolicyEngine::enforceKeepAlive(QList<KeepAliveRule> rules, int hour,
                                                                          int minute, int weekday)
{
    const QPointer<PolicyEngine> self(this);
    // One look at the running apps serves the step: it only ever adds apps.
    QSet<QString> running;
    bool looked = false;
    bool launched = false;
    for (const KeepAliveRule &rule : std::as_const(rules)) {
        if (!KeepAliveSchedule::applies(rule, hour, minute, weekday))
            continue;
        if (!looked) {
            running = runningBundleIds(m_workspace);
            looked = true;
        }
        for (const QString &bundleId : rule.bundleIds) {
            if (running.contains(bundleId))
                continue;
            co_await self->launchForKeepAlive(bundleId, rule.name);
            if (!self)
                co_return std::nullopt;
            running.insert(bundleId);
            launched = true;
        }
    }
    // A launch may have failed, so what the step assumed is no look at the apps.
    if (!looked || launched)
        co_return std::nullopt;
    co_return running;
}

QCoro::Task<> PolicyEngine::launchForKeepAlive(QString bundleId, QString ruleName)
{
    const QPointer<PolicyEngine> self(this);
    Workspace &workspace = m_workspace;
    const std::optional<QString> path = workspace.applicationPath(bundleId);
    if (!path) {
        appendLog(QStringLiteral("Could not find ") + bundleId);
        co_return;
    }
    const LaunchOutcome outcome = co_await workspace.openApplication(*path);
    if (!self)
        co_return;
    if (outcome.launched)
        appendLog(QStringLiteral("Launched %1 (rule: %2)").arg(bundleId, ruleName));
    else
        appendLog(QStringLiteral("Failed to launch %1: %2").arg(bundleId, outcome.error));
}

QCoro::Task<> PolicyEngine::enforceAppRestartRules(QList<AppRestartRule> rules, std::optional<QSet<QString>> looked)
{
    if (!m_appSamples || rules.isEmpty())
        co_return;
    const QPointer<PolicyEngine> self(this);
    const QList<AppSnapshot> samples = m_appSamples();
    const QSet<QString> running = looked ? std::move(*looked) : runningBundleIds(m_workspace);
    for (const AppRestartRule &rule : std::as_const(rules)) {
        if (rule.bundleId.isEmpty() || !running.contains(rule.bundleId))
            continue;
        AppRestartDecision::Situation situation{m_clock.now(), m_clock.timeZone(), std::nullopt,
                                                std::nullopt, m_locale};
        for (const AppSnapshot &sample : samples) {
            if (sample.bundleId == rule.bundleId) {
                situation.sample = sample;
                break;
            }
        }
        if (const auto last = m_lastAppRestarts.constFind(rule.bundleId); last != m_lastAppRestarts.cend())
            situation.lastRestart = *last;
        const std::optional<QString> reason = AppRestartDecision::restartReason(rule, situation);
        if (!reason)
            continue;
        co_await self->restartApp(rule.bundleId, *reason);
        if (!self)
            co_return;
        m_lastAppRestarts.insert(rule.bundleId, m_clock.now());
    }
}

QCoro::Task<> PolicyEngine::restartApp(QString bundleId, QString reason)
{
    const QPointer<PolicyEngine> self(this);
    const AppActions actions(m_workspace, m_clock);
    Workspace &workspace = m_workspace;
    appendLog(QStringLiteral("Terminated %1 (%2)").arg(bundleId, reason));
    // Waits for the old process to go (ending it when it will not) before the relaunch,
    // so the new one never meets the old one's files still open.
    const std::optional<QString> why = co_await actions.relaunch(bundleId, m_loop.token());
    if (!self)
        co_return;
    if (!why)
        appendLog(QStringLiteral("Relaunched ") + bundleId);
    else if (!workspace.applicationPath(bundleId))
        appendLog(QStringLiteral("Could not relaunch %1 — app not found").arg(bundleId));
    else
        appendLog(QStringLiteral("Failed to relaunch %1: %2").arg(bundleId, *why));
}

} // namespace vesk
