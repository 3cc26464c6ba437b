#pragma once

#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>

namespace vesk::fleetd {

// Deletes history (telemetry, app logs, alerts) past its retention period, a few
// rows at a time so that no single statement holds the database for long.
class RetentionStore {
public:
    explicit RetentionStore(StoreConnection &connection) : m_connection(connection) {}

    struct Pruned {
        int rows = 0;
        // Some table gave a full batch: more may be due at once.
        bool more = false;
    };

    // Looks at the `batch` oldest rows of each history table (by id, which follows
    // arrival) and deletes those received before `cutoff`. Bounded work whatever the
    // table's size; a row that arrived out of order waits for the rows before it.
    StoreResult<Pruned> pruneBatch(const QDateTime &cutoff, int batch);

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
