#pragma once

#include "fleetd/records/ReleaseRecord.h"
#include "fleetd/storage/StoreConnection.h"

#include <QDateTime>
#include <QList>

namespace vesk::fleetd {

// Published app releases. They are the maker's, so every tenant sees all of them.
class ReleaseStore {
public:
    explicit ReleaseStore(StoreConnection &connection) : m_connection(connection) {}

    // Publishing the same bundle, version and build again replaces that release.
    // `releasedAt` is set to now.
    StoreStatus publish(const ReleaseRecord &release, const QDateTime &now);
    // By bundle identifier, newest publication first within each bundle.
    StoreResult<QList<ReleaseRecord>> list();

private:
    StoreConnection &m_connection;
};

} // namespace vesk::fleetd
