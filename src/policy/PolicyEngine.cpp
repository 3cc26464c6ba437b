#include "policy/PolicyEngine.h"

#include "fleet/FleetAPIClient.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"
#include "policy/PolicyCheck.h"
#include "policy/PolicyConsumers.h"
#include "settings/FleetSettingsStore.h"

#include <QFileInfo>

namespace vesk {

namespace {
const QString lastSyncKey = QStringLiteral("lastPolicySyncTimestamp");

double secondsSince1970(const QDateTime &moment)
{
    return double(moment.toMSecsSinceEpoch()) / 1000.0;
}
} // namespace

PolicyEngine::PolicyEngine(Dependencies deps, QObject *parent)
    : QObject(parent), m_api(deps.api), m_settings(deps.settings), m_workspace(deps.workspace), m_clock(deps.clock),
      m_machineRestart(std::move(deps.machineRestart)), m_files(std::move(deps.storageDir)),
      m_serial(std::move(deps.serial)), m_locale(std::move(deps.locale))
{
}

PolicyEngine::~PolicyEngine()
{
    // Wakes the sleeping loop and timers now, so none outlives the engine on the clock.
    stop();
    if (m_restartWarningStop)
        m_restartWarningStop->requestStop();
    if (m_resumeStop)
        m_resumeStop->requestStop();
}

void PolicyEngine::attachFolderRetention(PolicyRetentionTarget *target)
{
    m_folderRetention = target;
    applyPolicyToServices();
}

void PolicyEngine::attachShareMonitor(PolicyShareTarget *target)
{
    m_shareMonitor = target;
    applyPolicyToServices();
}

void PolicyEngine::attachUpdateService(AutomaticUpdateRunner *updates)
{
    m_updateService = updates;
}

void PolicyEngine::attachAppSamples(AppSamples samples)
{
    m_appSamples = std::move(samples);
}

void PolicyEngine::start()
{
    if (m_loop.isRunning())
        return;
    loadInitialPolicy();
    // A (re)started engine asks for the policy on its first pass.
    m_lastSyncAttempt.reset();
    m_loop.start(
        this, m_clock, [this] { return loopPass(); },
        [this] { return m_settings.lowDataMode() ? lowDataPeriod : period; });
}

void PolicyEngine::stop()
{
    m_loop.stop();
}

QCoro::Task<> PolicyEngine::loopPass()
{
    QPointer<PolicyEngine> self(this);
    const StopToken token = m_loop.token();
    co_await enforce();
    if (!self || token.stopRequested())
        co_return;
    const QDateTime now = m_clock.now();
    const auto syncEvery = m_settings.lowDataMode() ? lowDataSyncPeriod : syncPeriod;
    if (!m_lastSyncAttempt || m_lastSyncAttempt->msecsTo(now) >= m_clock.period(syncEvery).count()) {
        m_lastSyncAttempt = now;
        co_await syncPolicy();
    }
}

void PolicyEngine::loadInitialPolicy()
{
    // The next sync fetches the server's policy whole, whatever it answered before.
    m_policyETag.clear();
    QString why;
    if (const std::optional<QList<DevicePolicy>> library = m_files.readLibrary(&why)) {
        for (const DevicePolicy &policy : *library) {
            if (policy.assignedSerials.contains(m_serial)) {
                putInForce(policy);
                return;
            }
        }
    } else if (QFileInfo::exists(m_files.libraryPath())) {
        qCWarning(lcPolicy).noquote() << "Ignoring the policy library:" << why;
    }
    m_activePolicy = m_files.readCache(&why);
    if (!m_activePolicy && QFileInfo::exists(m_files.cachePath()))
        qCWarning(lcPolicy).noquote() << "Ignoring the cached policy:" << why;
    applyPolicyToServices();
    emit changed();
}

bool PolicyEngine::savePolicies(const QList<DevicePolicy> &policies)
{
    return m_files.saveLibrary(policies);
}

bool PolicyEngine::putInForce(DevicePolicy policy)
{
    m_activePolicy = std::move(policy);
    const bool cached = m_files.writeCache(*m_activePolicy);
    applyPolicyToServices();
    emit changed();
    return cached;
}

QCoro::Task<> PolicyEngine::syncPolicy()
{
    const QPointer<PolicyEngine> self(this);
    FleetAPIClient &api = m_api;
    const APIResult<ConditionalAnswer<DevicePolicyResponse>> response =
        co_await api.fetchDevicePolicyIfChanged(m_policyETag);
    if (!self)
        co_return;
    if (!response) {
        qCWarning(lcPolicy).noquote() << "Policy sync failed: " + response.error().message();
        co_return;
    }
    if (response->notModified()) {
        qCDebug(lcPolicy) << "Policy sync: unchanged";
    } else if (const std::optional<DevicePolicy> &policy = response->value->policy) {
        // A policy that decodes but names impossible times or carries more than a pass
        // can take is refused whole; the one in force stays, and the next sync asks again.
        if (const std::optional<QString> bad = PolicyCheck::problem(*policy)) {
            m_policyETag.clear();
            qCWarning(lcPolicy).noquote() << QStringLiteral("Policy sync failed: policy '%1' (%2) was refused: %3")
                                                 .arg(policy->name, policy->id.toString(QUuid::WithoutBraces), *bad);
            co_return;
        }
        // Without its cache the next sync asks for the whole policy again, so that the cache is
        // written once the disk takes it; kept, the tag would only ever bring "unchanged".
        const bool cached = putInForce(*policy);
        m_policyETag = cached ? response->etag : QByteArray();
        qCInfo(lcPolicy).noquote()
            << QStringLiteral("Policy sync: applied '%1' (%2)").arg(policy->name, policy->id.toString(QUuid::WithoutBraces));
    } else {
        m_policyETag = response->etag;
        qCInfo(lcPolicy).noquote() << "Policy sync: no policy assigned to this device";
    }
    m_lastSync = m_clock.now();
    m_settings.defaults().setValue(lastSyncKey, secondsSince1970(*m_lastSync));
    emit changed();
}

void PolicyEngine::applyPolicyToServices()
{
    if (m_folderRetention)
        m_folderRetention->setPolicyRetentionRules(m_activePolicy ? m_activePolicy->retentionRules
                                                                  : QList<RetentionRule>{});
    if (m_shareMonitor)
        m_shareMonitor->setPolicyShares(m_activePolicy ? m_activePolicy->monitoredShares : QList<MonitoredShare>{});
}

QCoro::Task<> PolicyEngine::enforce()
{
    if (m_isPaused || !m_activePolicy)
        co_return;
    const QPointer<PolicyEngine> self(this);
    // The pass works on its own copy: a sync while it waits may replace the policy.
    const DevicePolicy policy = *m_activePolicy;
    m_lastCheck = m_clock.now();
    const QDateTime local = m_clock.localNow();
    const int hour = local.time().hour();
    const int minute = local.time().minute();
    const int weekday = Weekdays::calendarWeekday(local.date());
    emit changed();

    std::optional<QSet<QString>> running = co_await enforceKeepAlive(policy.keepAliveRules, hour, minute, weekday);
    if (!self)
        co_return;
    if (policy.restartSchedule.enabled)
        checkRestartSchedule(policy.restartSchedule, hour, minute, weekday);
    if (policy.updatePolicy.mode == UpdatePolicy::Mode::automatic && m_updateService) {
        AutomaticUpdateRunner *updates = m_updateService;
        co_await updates->runAutomaticUpdates(policy.updatePolicy);
        if (!self)
            co_return;
        // Updates quit and reopen apps: the restart step looks again.
        running.reset();
    }
    co_await enforceAppRestartRules(policy.appRestartRules, std::move(running));
}

void PolicyEngine::appendLog(const QString &message)
{
    qCInfo(lcPolicy).noquote() << message;
    m_log.append(m_clock.now(), message);
    emit changed();
}

} // namespace vesk
