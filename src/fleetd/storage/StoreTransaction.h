#pragma once

#include "fleetd/storage/StoreConnection.h"

namespace vesk::fleetd {

// A write transaction (the dialect's kind, see StoreDialect::beginWrite), rolled
// back unless committed.
class StoreTransaction {
public:
    explicit StoreTransaction(StoreConnection &connection);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction &) = delete;
    StoreTransaction &operator=(const StoreTransaction &) = delete;

    const StoreStatus &status() const { return m_status; }
    bool ok() const { return m_status.isOk(); }
    StoreStatus commit();

private:
    StoreConnection &m_connection;
    StoreStatus m_status;
    bool m_open = false;
};

} // namespace vesk::fleetd
