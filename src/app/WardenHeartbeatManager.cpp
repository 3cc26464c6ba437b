#include "app/WardenHeartbeatManager.h"

#include "settings/FleetSettingsStore.h"
#include "app/AgentOptions.h"
#include "credentials/CredentialManager.h"
#include "credentials/CredentialsConfig.h"
#include "pairing/FleetSecretManager.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"
#include "platform/MachineIdentity.h"
#include "wire/AgentHeartbeatState.h"

using namespace std::chrono_literals;

namespace vesk {

namespace {
constexpr auto kCredentialScanPeriod = 3600s;
constexpr double kHeartbeatInterval = 900;
constexpr double kHeartbeatTimeout = 3;
} // namespace

WardenHeartbeatManager::WardenHeartbeatManager(Dependencies deps, QObject *parent)
    : QObject(parent), m_deps(std::move(deps))
{
}

WardenHeartbeatManager::~WardenHeartbeatManager()
{
    stop();
}

QString WardenHeartbeatManager::appVersion() const
{
    return m_deps.appVersion.isEmpty() ? QStringLiteral("1.0") : m_deps.appVersion;
}

QString WardenHeartbeatManager::currentEventCode() const
{
    const auto set = m_deps.credentials.currentCredentialSet(m_deps.clock.now());
    if (!set)
        return {};
    return set->eventCode();
}

void WardenHeartbeatManager::runCredentialPass()
{
    m_deps.credentials.scanForCredentials();
    syncTenant();
}

void WardenHeartbeatManager::syncTenant()
{
    m_cachedAgentMode = m_deps.settings.agentMode();
    const QString stored = m_deps.settings.tenantCode();
    const auto set = m_deps.credentials.currentCredentialSet(m_deps.clock.now());
    const QString tenant = set ? set->tenantCode() : QString();
    if (!tenant.isEmpty() && !stored.isEmpty() && tenant != stored) {
        qCInfo(lcFleetSecret) << "Tenant changed from" << stored << "to" << tenant << "- pairing state cleared";
        m_deps.pairingFlags.clear();
    }
    if (!tenant.isEmpty())
        m_deps.settings.setTenantCode(tenant);
}

HeartbeatPayload WardenHeartbeatManager::currentPayload(const QString &serial) const
{
    HeartbeatPayload payload;
    payload.eventcode = currentEventCode();
    payload.serial = serial;
    payload.app = QStringLiteral("warden");
    payload.version = appVersion();
    AgentHeartbeatState state;
    state.agentMode = m_cachedAgentMode;
    payload.state = state.toState();
    return payload;
}

void WardenHeartbeatManager::start()
{
    stop();
    m_cachedAgentMode = m_deps.settings.agentMode();

    HeartbeatConfig config{QStringLiteral("warden"), appVersion(), m_deps.heartbeatEndpoint, kHeartbeatInterval,
                           kHeartbeatTimeout};
    MachineIdentity &identity = m_deps.identity;
    m_heartbeat = std::make_unique<Heartbeat>(
        config, m_deps.http, m_deps.clock, [&identity]() { return identity.hardwareSerial(); },
        [&identity]() { return identity.hostName(); });
    m_heartbeat->setLogger([](const QString &level, const QString &message) {
        if (level == QLatin1String("error"))
            qCWarning(lcHeartbeat).noquote() << message;
        else
            qCInfo(lcHeartbeat).noquote() << message;
    });

    connect(m_heartbeat.get(), &Heartbeat::beatFinished, this, [this](const HeartbeatOutcome &outcome) {
        m_lastHeartbeat = outcome;
        emit heartbeatFinished(outcome);
    });

    const QString serial = m_heartbeat->machineSerial();
    const QString version = appVersion();
    QPointer<WardenHeartbeatManager> self(this);
    m_heartbeat->start([self, serial, version]() -> QCoro::Task<HeartbeatPayload> {
        if (!self) {
            // Without the manager there is no state and no event code; the machine is still named.
            HeartbeatPayload gone;
            gone.serial = serial;
            gone.app = QStringLiteral("warden");
            gone.version = version;
            co_return gone;
        }
        co_return self->currentPayload(serial);
    });

    m_scanStop.emplace();
    scanLoop(m_scanStop->token());
}

void WardenHeartbeatManager::stop()
{
    if (m_heartbeat) {
        m_heartbeat->stop();
        m_heartbeat.reset();
    }
    if (m_scanStop) {
        m_scanStop->requestStop();
        m_scanStop.reset();
    }
}

QCoro::Task<> WardenHeartbeatManager::scanLoop(StopToken token)
{
    QPointer<WardenHeartbeatManager> self(this);
    Clock &clock = m_deps.clock;
    for (;;) {
        if (!self || token.stopRequested())
            co_return;
        self->runCredentialPass();
        const bool waited = co_await clock.sleep(kCredentialScanPeriod, token);
        if (!waited)
            co_return;
    }
}

} // namespace vesk
