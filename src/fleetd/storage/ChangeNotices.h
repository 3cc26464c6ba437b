#pragma once

#include "fleetd/storage/StoreStatus.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QMetaObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlDriver>

#include <functional>
#include <optional>

namespace vesk::fleetd {

class StoreConnection;

// Several servers may share one PostgreSQL database, each caching what it read (key verdicts,
// owners, idle command polls). Every write those caches depend on (a secret issued, rotated or
// revoked, a machine's owner set, a command queued) sends a change notice on one channel, and
// every server listens on it: a server learns of another's change by reading the notices that
// reached its connection, which costs one non-blocking read of the socket and no round trip to
// the database. The change shows on other servers once its notice arrives, milliseconds after
// the commit. As a backstop for a change whose notice never came (a writer that died between
// its commit and the notice), `probe` (a real query) still runs at most once per kProbeInterval.
class ChangeNotices {
public:
    static constexpr char kChannel[] = "vesk_fleet_changes";
    static constexpr qint64 kProbeIntervalMs = 1000;

    using Probe = std::function<StoreResult<qint64>()>;

    ChangeNotices() = default;
    ~ChangeNotices();
    ChangeNotices(const ChangeNotices &) = delete;
    ChangeNotices &operator=(const ChangeNotices &) = delete;

    // Starts listening on `db`; false when the driver cannot (the caller then probes every time).
    bool listen(const QSqlDatabase &db);
    bool listening() const { return !m_driver.isNull(); }
    // A number that moves when a notice arrived or the backstop probe saw a change.
    StoreResult<qint64> version(const Probe &probe);

private:
    QPointer<QSqlDriver> m_driver;
    // The driver's own slot that reads the socket and emits the notices found.
    QMetaMethod m_readNotices;
    QMetaObject::Connection m_subscription;
    qint64 m_notices = 0;
    qint64 m_probeChanges = 0;
    std::optional<qint64> m_lastProbe;
    QElapsedTimer m_sinceProbe;
};

// Tells the other servers on the database that something they may cache changed (nothing on
// SQLite, whose data_version shows every other connection's commit by itself). Runs after the
// change is committed; a failure is only logged, the backstop probe covers it.
void announceChange(StoreConnection &connection);

} // namespace vesk::fleetd
