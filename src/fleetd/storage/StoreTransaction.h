#pragma once

#include "fleetd/storage/StoreConnection.h"

namespace vesk::fleetd {

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed. Immediate, so that a
// read-then-write never fails half-way when the admin command line writes meanwhile:
// the write lock is taken (waiting up to the busy timeout) before the first read.
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
