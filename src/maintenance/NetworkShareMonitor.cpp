#include "maintenance/NetworkShareMonitor.h"

#include "platform/Clock.h"
#include "platform/KeychainStore.h"
#include "platform/LogCategories.h"
#include "platform/ShareMounter.h"

namespace vesk {

namespace {

bool isProblem(ShareStatus status)
{
    return status == ShareStatus::notMounted || status == ShareStatus::hostUnreachable || status == ShareStatus::stale;
}

QString alertTitle(const MonitoredShare &share)
{
    return shareDisplayName(share) + QStringLiteral(" Unavailable");
}

} // namespace

NetworkShareMonitor::NetworkShareMonitor(Dependencies deps, QObject *parent)
    : QObject(parent), m_clock(deps.clock), m_mounter(deps.mounter), m_keychain(deps.keychain),
      m_file(deps.storageDir, fileName), m_serial(std::move(deps.serial)), m_lowDataMode(std::move(deps.lowDataMode)),
      m_shares(m_file.items())
{
}

NetworkShareMonitor::~NetworkShareMonitor()
{
    stop();
}

QString NetworkShareMonitor::passwordService(const QUuid &id)
{
    return QStringLiteral("share-password-") + id.toString(QUuid::WithoutBraces).toUpper();
}

void NetworkShareMonitor::start()
{
    m_loop.start(
        this, m_clock,
        [this] {
            if (m_unsaved)
                save();
            return checkAll();
        },
        [this] { return std::chrono::milliseconds(m_lowDataMode() ? lowDataPeriod : period); });
}

void NetworkShareMonitor::stop()
{
    m_loop.stop();
}

void NetworkShareMonitor::addShare(const MonitoredShare &share)
{
    m_shares.append(share);
    save();
    emit changed();
}

void NetworkShareMonitor::updateShare(const MonitoredShare &share)
{
    for (MonitoredShare &existing : m_shares) {
        if (existing.id == share.id)
            existing = share;
    }
    save();
    emit changed();
}

QCoro::Task<> NetworkShareMonitor::removeShare(QUuid id)
{
    const std::optional<MonitoredShare> share = find(id);
    m_shares.removeIf([&](const MonitoredShare &s) { return s.id == id; });
    save();
    if (share)
        clearAlert(*share);
    m_health.remove(id);
    emit changed();
    QPointer<NetworkShareMonitor> self(this);
    const KeychainResult removed = co_await m_keychain.remove(passwordService(id), QString());
    if (!removed.ok() && self)
        qCWarning(lcShares).noquote() << "Could not delete the share's password:" << removed.message;
}

QCoro::Task<bool> NetworkShareMonitor::setPassword(QUuid id, QByteArray password)
{
    const KeychainResult written = co_await m_keychain.write(passwordService(id), QString(), password);
    if (!written.ok())
        qCWarning(lcShares).noquote() << "Could not store the share's password:" << written.message;
    co_return written.ok();
}

void NetworkShareMonitor::setPolicyShares(const QList<MonitoredShare> &shares)
{
    m_policyShares = shares;
    emit changed();
}

std::optional<ShareHealth> NetworkShareMonitor::health(const QUuid &id) const
{
    const auto found = m_health.constFind(id);
    if (found == m_health.constEnd())
        return std::nullopt;
    return *found;
}

std::optional<MonitoredShare> NetworkShareMonitor::find(const QUuid &id) const
{
    for (const MonitoredShare &share : m_shares + m_policyShares) {
        if (share.id == id)
            return share;
    }
    return std::nullopt;
}

void NetworkShareMonitor::save()
{
    const std::optional<QString> error = m_file.write(m_shares);
    m_unsaved = error.has_value();
    if (error)
        qCWarning(lcShares).noquote() << "Could not save" << *error;
}

QCoro::Task<> NetworkShareMonitor::checkAll()
{
    if (m_isChecking)
        co_return;
    QPointer<NetworkShareMonitor> self(this);
    m_isChecking = true;
    emit changed();
    const QList<MonitoredShare> all = m_shares + m_policyShares;
    for (const MonitoredShare &share : all) {
        co_await checkShare(share);
        if (!self)
            co_return;
    }
    m_lastCheck = m_clock.now();
    m_isChecking = false;
    emit changed();
}

QCoro::Task<> NetworkShareMonitor::checkShare(MonitoredShare share)
{
    QPointer<NetworkShareMonitor> self(this);
    if (!share.enabled) {
        setStatus(share, ShareStatus::disabled, QString());
        co_return;
    }
    const std::optional<ShareAddress> address = ShareAddress::parse(share.address);
    if (!address) {
        setStatus(share, ShareStatus::unknown, QStringLiteral("Invalid share address"));
        co_return;
    }
    std::optional<MountTableEntry> entry;
    for (const MountTableEntry &candidate : m_mounter.mountTable()) {
        if (address->matches(candidate)) {
            entry = candidate;
            break;
        }
    }
    const QString name = shareDisplayName(share);
    if (entry) {
        const bool answers = co_await m_mounter.pathResponds(entry->mountPoint, mountTestLimit);
        if (!self)
            co_return;
        if (answers) {
            markMounted(share, entry->mountPoint);
            co_return;
        }
        appendLog(name + QStringLiteral(": mount at ") + entry->mountPoint + QStringLiteral(" is not responding"));
        if (!share.autoRemount) {
            recordFailure(share, ShareStatus::stale, QStringLiteral("Share is mounted but not responding"));
            co_return;
        }
        setStatus(share, ShareStatus::remounting, QStringLiteral("Reconnecting after stale mount…"));
        const bool serverAnswers = co_await m_mounter.probeHost(address->host, address->port, probeLimit);
        if (!self)
            co_return;
        if (!serverAnswers) {
            recordFailure(share, ShareStatus::stale, QStringLiteral("Server not answering"));
            co_return;
        }
        const bool released = co_await m_mounter.forceUnmount(entry->mountPoint);
        if (!self)
            co_return;
        if (!released) {
            recordFailure(share, ShareStatus::stale, QStringLiteral("Could not release the stale mount"));
            co_return;
        }
        co_await mount(share, *address);
        co_return;
    }
    const bool serverAnswers = co_await m_mounter.probeHost(address->host, address->port, probeLimit);
    if (!self)
        co_return;
    if (!serverAnswers) {
        recordFailure(share, ShareStatus::hostUnreachable, QStringLiteral("No answer from ") + address->host);
        co_return;
    }
    if (!share.autoRemount) {
        recordFailure(share, ShareStatus::notMounted, QStringLiteral("Server reachable but share is not mounted"));
        co_return;
    }
    setStatus(share, ShareStatus::remounting, QStringLiteral("Server reachable — mounting…"));
    co_await mount(share, *address);
}

QCoro::Task<std::optional<QString>> NetworkShareMonitor::mountNow(QUuid id)
{
    QPointer<NetworkShareMonitor> self(this);
    const std::optional<MonitoredShare> share = find(id);
    if (!share)
        co_return std::nullopt;
    const std::optional<ShareAddress> address = ShareAddress::parse(share->address);
    if (!address) {
        setStatus(*share, ShareStatus::unknown, QStringLiteral("Invalid share address"));
        co_return QStringLiteral("Invalid share address");
    }
    const bool serverAnswers = co_await m_mounter.probeHost(address->host, address->port, probeLimit);
    if (!self)
        co_return std::nullopt;
    if (!serverAnswers) {
        recordFailure(*share, ShareStatus::hostUnreachable, QStringLiteral("No answer from ") + address->host);
        co_return QStringLiteral("The server ") + address->host + QStringLiteral(" is not answering.");
    }
    co_await mount(*share, *address);
    co_return std::nullopt;
}

QCoro::Task<> NetworkShareMonitor::mount(MonitoredShare share, ShareAddress address)
{
    QPointer<NetworkShareMonitor> self(this);
    ShareMountRequest request{address.url, address.host, address.shareName, address.port, share.username, {}};
    if (share.username) {
        const KeychainRead stored = co_await m_keychain.read(passwordService(share.id), QString());
        if (!self)
            co_return;
        request.password = stored.valueOrNone().value_or(QByteArray());
    }
    const MountResult result = co_await m_mounter.mountShare(std::move(request), mountLimit);
    if (!self)
        co_return;
    const QString name = shareDisplayName(share);
    if (result.ok()) {
        appendLog(name + QStringLiteral(": mounted at ") + *result.mountPoint);
        qCInfo(lcShares).noquote() << QStringLiteral("Mounted ") + name + QStringLiteral(" at ") + *result.mountPoint;
        markMounted(share, result.mountPoint);
        co_return;
    }
    appendLog(name + QStringLiteral(": mount failed — ") + result.failure);
    recordFailure(share, ShareStatus::notMounted, result.failure);
}

void NetworkShareMonitor::setStatus(const MonitoredShare &share, ShareStatus status, const QString &detail,
                                    std::optional<QString> mountPoint)
{
    ShareHealth &health = m_health[share.id];
    health.status = status;
    health.detail = detail;
    health.mountPoint = std::move(mountPoint);
    health.lastChecked = m_clock.now();
    emit changed();
}

void NetworkShareMonitor::recordFailure(const MonitoredShare &share, ShareStatus status, const QString &detail)
{
    ShareHealth &health = m_health[share.id];
    health.status = status;
    health.detail = detail;
    health.lastChecked = m_clock.now();
    ++health.consecutiveFailures;
    appendLog(shareDisplayName(share) + QStringLiteral(": ") + detail);
    if (health.consecutiveFailures >= alertAfterFailures && !m_alerted.contains(share.id)) {
        m_alerted.insert(share.id);
        if (m_alerts)
            m_alerts->raiseShareAlert({alertTitle(share), detail, m_serial});
    }
    emit changed();
}

void NetworkShareMonitor::markMounted(const MonitoredShare &share, std::optional<QString> mountPoint)
{
    ShareHealth &health = m_health[share.id];
    const bool recovered = isProblem(health.status);
    health.status = ShareStatus::mounted;
    health.detail = QStringLiteral("Available at ") + mountPoint.value_or(QStringLiteral("unknown location"));
    health.mountPoint = std::move(mountPoint);
    health.lastChecked = m_clock.now();
    health.consecutiveFailures = 0;
    if (recovered) {
        const QString name = shareDisplayName(share);
        appendLog(name + QStringLiteral(": connection recovered"));
        qCInfo(lcShares).noquote() << QStringLiteral("Share recovered: ") + name;
    }
    clearAlert(share);
    emit changed();
}

void NetworkShareMonitor::clearAlert(const MonitoredShare &share)
{
    // Cleared with the alert service even when none is known here: one may be left open
    // from before the agent restarted.
    m_alerted.remove(share.id);
    if (m_alerts)
        m_alerts->clearShareAlert(alertTitle(share));
}

void NetworkShareMonitor::appendLog(const QString &message)
{
    m_log.append(m_clock.now(), message);
}

} // namespace vesk
