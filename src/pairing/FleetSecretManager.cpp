#include "pairing/FleetSecretManager.h"

#include "settings/FleetSettingsStore.h"
#include "platform/Clock.h"
#include "platform/DefaultsStore.h"
#include "platform/LogCategories.h"

#include <QRegularExpression>

namespace vesk {

const QString FleetSecretManager::pairedMessage =
    QStringLiteral("Paired. This Mac can now receive fleet commands and policies.");

namespace {

PairResult refused(QString message)
{
    return PairResult{false, std::move(message)};
}

} // namespace

FleetSecretManager::FleetSecretManager(Dependencies deps)
    : m_settings(deps.settings)
    , m_clock(deps.clock)
    , m_store(deps.keychain, deps.bundle.keychainService())
    , m_requests(PairingRequests::Dependencies{deps.http, deps.identity, deps.clock, deps.baseUrl,
                                               deps.bundle.identifier(), deps.appVersion})
{
}

QString FleetSecretManager::tenant() const
{
    return m_settings.tenantCode();
}

void FleetSecretManager::raiseFlag(bool PairingFlags::Snapshot::*flag)
{
    m_flags.raise(flag);
}

QCoro::Task<std::optional<StoredFleetSecret>> FleetSecretManager::storedSecret(QString tenant)
{
    const std::optional<StoredFleetSecret> secret = co_await m_store.storedSecret(std::move(tenant));
    co_return secret;
}

QCoro::Task<std::optional<QString>> FleetSecretManager::preview(QString tenant)
{
    const std::optional<QString> text = co_await m_store.preview(std::move(tenant));
    co_return text;
}

QCoro::Task<bool> FleetSecretManager::wipe(QString tenant)
{
    const bool removed = co_await m_store.wipe(std::move(tenant));
    co_return removed;
}

QCoro::Task<bool> FleetSecretManager::wipeIfStillStored(QString tenant, std::optional<StoredFleetSecret> used)
{
    if (tenant.compare(this->tenant(), Qt::CaseInsensitive) != 0) {
        qCInfo(lcFleetSecret) << "FleetSecretManager: ignoring a verdict on the secret of a previous tenant";
        co_return false;
    }
    const std::optional<StoredFleetSecret> current = co_await m_store.storedSecret(tenant);
    // Nothing stored is nothing to protect: the flag still tells the operator what happened.
    if (current && current != used) {
        qCInfo(lcFleetSecret) << "FleetSecretManager: ignoring a verdict on a secret replaced since its request";
        co_return false;
    }
    const bool wiped = co_await m_store.wipe(std::move(tenant));
    Q_UNUSED(wiped);
    co_return true;
}

QCoro::Task<> FleetSecretManager::markRevoked(QString tenant, std::optional<StoredFleetSecret> used)
{
    // Awaited on its own line: g++ 12 leaks the frame of a co_await inside a condition.
    const bool wiped = co_await wipeIfStillStored(std::move(tenant), std::move(used));
    if (wiped)
        raiseFlag(&PairingFlags::Snapshot::isRevoked);
}

QCoro::Task<> FleetSecretManager::markNeedsReentry(QString tenant, std::optional<StoredFleetSecret> used)
{
    // Awaited on its own line: g++ 12 leaks the frame of a co_await inside a condition.
    const bool wiped = co_await wipeIfStillStored(std::move(tenant), std::move(used));
    if (wiped)
        raiseFlag(&PairingFlags::Snapshot::needsReentry);
}

QCoro::Task<ProbeResult> FleetSecretManager::fetchPairingDetails()
{
    if (m_inFlightFetch) {
        const std::shared_ptr<SharedResult<ProbeResult>> running = m_inFlightFetch;
        const ProbeResult shared = co_await running->wait();
        co_return shared;
    }
    const auto fetch = std::make_shared<SharedResult<ProbeResult>>();
    m_inFlightFetch = fetch;
    const ProbeResult result = co_await m_requests.fetchPairingDetails();
    m_inFlightFetch.reset();
    fetch->publish(result);
    co_return result;
}

QCoro::Task<PairResult> FleetSecretManager::pair(QString code)
{
    static const QRegularExpression hex64(QStringLiteral("^[0-9a-f]{64}$"));
    const QString pasted = code.trimmed().toLower();
    if (!hex64.match(pasted).hasMatch())
        co_return refused(QStringLiteral(
            "That doesn't look like a fleet secret. Paste the 64-character code from your admin exactly."));

    const ProbeResult probe = co_await fetchPairingDetails();
    switch (probe.kind) {
    case ProbeResult::Kind::ok:
        break;
    case ProbeResult::Kind::serialUnknown:
        co_return refused(QStringLiteral("This Mac isn't registered yet. Make sure the event code is set and "
                                         "connected, then try again in a minute."));
    case ProbeResult::Kind::tenantHasNoSecret:
        co_return refused(QStringLiteral(
            "Your account has no active fleet secret. Ask your admin to generate one, then paste it here."));
    case ProbeResult::Kind::throttled:
        co_return refused(QStringLiteral("Too many attempts. Wait a few minutes and try again."));
    case ProbeResult::Kind::error:
        co_return refused(probe.message);
    }

    const PairingDetails &details = probe.details;
    const QString localTenant = tenant();
    if (details.tenantCode.compare(localTenant, Qt::CaseInsensitive) != 0)
        co_return refused(QStringLiteral("This Mac is registered to a different account (%1). Check the event code "
                                         "in Settings.")
                              .arg(details.tenantCode));
    const QString expectedStart = details.secretPreview.toLower();
    if (!pasted.startsWith(expectedStart))
        co_return refused(QStringLiteral("That secret doesn't match the one your admin generated (expected it to "
                                         "start with %1). Ask your admin to reveal the current secret.")
                              .arg(details.secretPreview));

    const SecretVerdict verdict = co_await m_requests.probeSecret(localTenant, details.secretId, pasted);
    if (!verdict.accepted())
        co_return refused(verdict.message);

    const QDateTime issuedAt = m_clock.now();
    const StoredFleetSecret secret{pasted, details.secretId};
    const bool stored = co_await m_store.store(localTenant, secret, details.secretPreview, issuedAt);
    if (!stored)
        co_return refused(QStringLiteral("Couldn't save the secret to the Keychain. Try again."));
    m_flags.clear();
    // The fleet's release key is pinned now, while pairing proves whose fleet this is; update
    // signatures are checked against it from then on.
    if (details.releaseKey)
        m_settings.defaults().setValue(QStringLiteral("warden_fleetReleaseKey"), *details.releaseKey);
    qCInfo(lcFleetSecret).noquote() << QStringLiteral("FleetSecretManager: paired (id=%1)").arg(details.secretId);
    co_return PairResult{true, pairedMessage};
}

QCoro::Task<> FleetSecretManager::refreshStatus()
{
    const QString current = tenant();
    // Without an account there is nothing to ask the server about.
    if (current.isEmpty())
        co_return;
    const std::optional<StoredFleetSecret> secret = co_await m_store.storedSecret(current);
    if (secret) {
        const SecretVerdict verdict = co_await m_requests.probeSecret(current, secret->id, secret->code);
        switch (verdict.kind) {
        case SecretVerdict::Kind::accepted:
            m_flags.clear();
            break;
        case SecretVerdict::Kind::revoked:
            co_await markRevoked(current, secret);
            break;
        case SecretVerdict::Kind::rotated:
        case SecretVerdict::Kind::mismatch:
            co_await markNeedsReentry(current, secret);
            break;
        case SecretVerdict::Kind::rejected:
        case SecretVerdict::Kind::unreachable:
            break;
        }
        co_return;
    }
    const ProbeResult probe = co_await fetchPairingDetails();
    if (probe.kind == ProbeResult::Kind::serialUnknown)
        raiseFlag(&PairingFlags::Snapshot::serialUnknown);
    else if (probe.kind == ProbeResult::Kind::tenantHasNoSecret)
        raiseFlag(&PairingFlags::Snapshot::tenantHasNoSecret);
}

QCoro::Task<PairingStatus> FleetSecretManager::pairingStatus()
{
    const QString current = tenant();
    if (current.isEmpty())
        co_return PairingStatus::of(PairingStatus::Kind::notPaired);
    const std::optional<QString> stored = co_await m_store.preview(current);
    if (stored)
        co_return PairingStatus::paired(*stored);
    const PairingFlags::Snapshot flags = m_flags.snapshot();
    if (flags.isRevoked)
        co_return PairingStatus::of(PairingStatus::Kind::revoked);
    if (flags.needsReentry)
        co_return PairingStatus::of(PairingStatus::Kind::needsReentry);
    if (flags.serialUnknown)
        co_return PairingStatus::of(PairingStatus::Kind::serialUnknown);
    if (flags.tenantHasNoSecret)
        co_return PairingStatus::of(PairingStatus::Kind::tenantHasNoSecret);
    co_return PairingStatus::of(PairingStatus::Kind::notPaired);
}

} // namespace vesk
