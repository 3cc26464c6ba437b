#include "fleetd/storage/HistoryPruner.h"

#include "fleetd/FleetdLog.h"

namespace vesk::fleetd {

HistoryPruner::HistoryPruner(RetentionStore &store, std::function<QDateTime()> now, Settings settings,
                             QObject *parent)
    : QObject(parent), m_store(store), m_now(std::move(now)), m_settings(settings)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HistoryPruner::onTimer);
}

void HistoryPruner::start()
{
    m_timer.start(0);
}

RetentionStore::Pruned HistoryPruner::pruneOnce()
{
    const QDateTime cutoff = m_now().addDays(-m_settings.retentionDays);
    const StoreResult<RetentionStore::Pruned> pruned = m_store.pruneBatch(cutoff, m_settings.batchRows);
    if (!pruned.status.isOk()) {
        qCWarning(lcFleetd) << "history pruning failed:" << pruned.status.message();
        return {};
    }
    if (pruned.value.rows > 0)
        qCDebug(lcFleetd) << "pruned" << pruned.value.rows << "history rows received before" << cutoff;
    return pruned.value;
}

void HistoryPruner::onTimer()
{
    const RetentionStore::Pruned pruned = pruneOnce();
    m_timer.start(pruned.more ? std::chrono::milliseconds(0) : m_settings.idleInterval);
}

} // namespace vesk::fleetd
