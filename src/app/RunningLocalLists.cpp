#include "app/RunningLocalLists.h"

#include "maintenance/FolderRetentionService.h"
#include "maintenance/NetworkShareMonitor.h"

#include <QSet>

namespace vesk {

namespace {
template <class T>
QSet<QUuid> idsOf(const QList<T> &items)
{
    QSet<QUuid> ids;
    for (const T &item : items)
        ids.insert(item.id);
    return ids;
}
} // namespace

QList<RetentionRule> RunningRetentionRules::items() const
{
    return m_service.rules();
}

void RunningRetentionRules::replace(const QList<RetentionRule> &items)
{
    const QSet<QUuid> kept = idsOf(items);
    for (const QUuid &id : idsOf(m_service.rules())) {
        if (!kept.contains(id))
            m_service.removeRule(id);
    }
    for (const RetentionRule &rule : items)
        m_service.addOrUpdateRule(rule);
}

QList<MonitoredShare> RunningShares::items() const
{
    return m_monitor.shares();
}

void RunningShares::replace(const QList<MonitoredShare> &items)
{
    const QSet<QUuid> before = idsOf(m_monitor.shares());
    const QSet<QUuid> kept = idsOf(items);
    for (const QUuid &id : before) {
        // Leaves the list at once; only the password's removal (already done by the import) waits.
        if (!kept.contains(id))
            m_monitor.removeShare(id);
    }
    for (const MonitoredShare &share : items) {
        if (before.contains(share.id))
            m_monitor.updateShare(share);
        else
            m_monitor.addShare(share);
    }
}

} // namespace vesk
