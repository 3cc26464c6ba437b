#include "fleetd/storage/RetentionStore.h"

#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

namespace {

struct HistoryTable {
    const char *name;
    const char *timeColumn;
};

constexpr HistoryTable kHistoryTables[] = {
    {"telemetry", "received_at"},
    {"app_logs", "created_at"},
    {"alerts", "received_at"},
};

} // namespace

StoreResult<RetentionStore::Pruned> RetentionStore::pruneBatch(const QDateTime &cutoff, int batch)
{
    StoreResult<Pruned> result;
    for (const HistoryTable &table : kHistoryTables) {
        // Table and column names are ours, never input.
        SqlStatement remove(m_connection,
                            QStringLiteral("DELETE FROM %1 WHERE id IN (SELECT id FROM (SELECT id, %2 FROM %1"
                                           " ORDER BY id LIMIT :batch) AS oldest WHERE %2 < :cutoff)")
                                .arg(QLatin1String(table.name), QLatin1String(table.timeColumn)),
                            QStringLiteral("cannot prune %1").arg(QLatin1String(table.name)));
        remove.bind(QStringLiteral(":batch"), batch).bind(QStringLiteral(":cutoff"), isoTime(cutoff));
        if (!remove.exec()) {
            result.status = remove.status();
            return result;
        }
        const int deleted = remove.rowsAffected();
        result.value.rows += deleted;
        result.value.more = result.value.more || deleted >= batch;
    }
    return result;
}

} // namespace vesk::fleetd
