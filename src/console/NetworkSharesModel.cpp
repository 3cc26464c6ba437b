#include "console/NetworkSharesModel.h"

#include "console/ConsoleTexts.h"
#include "maintenance/NetworkShareMonitor.h"
#include "maintenance/ShareAddress.h"

#include <QPointer>

namespace vesk {

NetworkSharesModel::NetworkSharesModel(NetworkShareMonitor *monitor, QObject *parent)
    : LocalListModel(monitor, ConsoleTexts::noShares, parent), m_monitor(monitor)
{
}

QString NetworkSharesModel::statusLabel(ShareStatus status)
{
    switch (status) {
    case ShareStatus::unknown:
        break;
    case ShareStatus::checking:
        return tr("Checking…");
    case ShareStatus::mounted:
        return tr("Mounted");
    case ShareStatus::notMounted:
        return tr("Not mounted");
    case ShareStatus::hostUnreachable:
        return tr("Server unreachable");
    case ShareStatus::stale:
        return tr("Not responding");
    case ShareStatus::remounting:
        return tr("Reconnecting…");
    case ShareStatus::disabled:
        return tr("Off");
    }
    return tr("Not checked yet");
}

NetworkSharesModel::Row NetworkSharesModel::row(const MonitoredShare &share) const
{
    Row row{share.id, false, shareDisplayName(share), {}, {}};
    const QString user = share.username.value_or(QString());
    row.summary = share.address.trimmed() + QStringLiteral(" · ")
                  + (user.isEmpty() ? tr("as guest") : tr("as %1").arg(user));
    if (!share.autoRemount)
        row.summary += QStringLiteral(" · ") + tr("never remounted automatically");

    const std::optional<ShareHealth> health = m_monitor ? m_monitor->health(share.id) : std::nullopt;
    const ShareStatus status = !share.enabled ? ShareStatus::disabled
                                              : (health ? health->status : ShareStatus::unknown);
    row.status = statusLabel(status);
    if (share.enabled && health) {
        if (!health->detail.isEmpty())
            row.status += QStringLiteral(" — ") + health->detail;
        if (health->lastChecked)
            row.status += QStringLiteral(" · ") + tr("checked %1").arg(when(*health->lastChecked));
    }
    return row;
}

QList<NetworkSharesModel::Row> NetworkSharesModel::rows() const
{
    if (!m_monitor)
        return {};
    return ownThenPolicy(m_monitor->shares(), m_monitor->policyShares(),
                         [this](const MonitoredShare &share) { return row(share); });
}

std::optional<MonitoredShare> NetworkSharesModel::ownShare(const QUuid &id) const
{
    return m_monitor ? find(m_monitor->shares(), id) : std::nullopt;
}

QString NetworkSharesModel::activityText() const
{
    if (!m_monitor)
        return {};
    if (m_monitor->isChecking())
        return tr("Checking shares…");
    if (const std::optional<QDateTime> last = m_monitor->lastCheck())
        return tr("Last check: %1").arg(when(*last));
    return tr("No check has run yet.");
}

QStringList NetworkSharesModel::logLines() const
{
    return m_monitor ? newestFirst(m_monitor->log()) : QStringList();
}

std::optional<QString> NetworkSharesModel::problem(const MonitoredShare &draft) const
{
    if (draft.address.trimmed().isEmpty())
        return ConsoleTexts::shareAddressMissing;
    const std::optional<ShareAddress> address = ShareAddress::parse(draft.address);
    if (!address)
        return ConsoleTexts::shareAddressInvalid;
    static const QStringList schemes{QStringLiteral("smb"), QStringLiteral("afp"), QStringLiteral("nfs")};
    if (!schemes.contains(address->scheme))
        return ConsoleTexts::shareSchemeRefused;
    if (address->shareName.isEmpty())
        return ConsoleTexts::shareNameMissing;
    return std::nullopt;
}

QCoro::Task<bool> NetworkSharesModel::save(MonitoredShare draft, QByteArray password)
{
    std::optional<QString> refused = problem(draft);
    if (!refused && !m_monitor)
        refused = tr("Share monitoring is not running on this Mac.");
    if (refused) {
        m_message = *refused;
        emit changed();
        co_return false;
    }
    draft.name = draft.name.trimmed();
    draft.address = draft.address.trimmed();
    if (draft.username && draft.username->trimmed().isEmpty())
        draft.username.reset();
    if (ownShare(draft.id))
        m_monitor->updateShare(draft);
    else
        m_monitor->addShare(draft);
    m_message.clear();
    if (!password.isEmpty()) {
        QPointer<NetworkSharesModel> self(this);
        const bool stored = co_await m_monitor->setPassword(draft.id, std::move(password));
        if (!self)
            co_return false;
        if (!stored)
            m_message = ConsoleTexts::sharePasswordNotStored;
    }
    emit changed();
    co_return m_message.isEmpty();
}

QCoro::Task<> NetworkSharesModel::remove(QUuid id)
{
    if (!m_monitor)
        co_return;
    co_await m_monitor->removeShare(id);
}

QCoro::Task<> NetworkSharesModel::mountNow(QUuid id)
{
    if (!m_monitor)
        co_return;
    QPointer<NetworkSharesModel> self(this);
    const std::optional<QString> silent = co_await m_monitor->mountNow(id);
    if (!self)
        co_return;
    const std::optional<ShareHealth> health = m_monitor->health(id);
    m_message = silent.value_or(health ? health->detail : QString());
    emit changed();
}

} // namespace vesk
