#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace vesk::fleetd {

// At most `limit` requests per key in any sliding `window`, on the server's clock.
// Keys idle for a whole window are forgotten so the table cannot grow without bound.
class RateLimiter {
public:
    RateLimiter(int limit, qint64 windowMs) : m_limit(limit), m_windowMs(windowMs) {}

    // Records the attempt; false when it is over the limit (refused attempts count too,
    // so a client that keeps hammering stays refused).
    bool allow(const QString &key, const QDateTime &now);

private:
    void prune(qint64 nowMs);

    int m_limit;
    qint64 m_windowMs;
    QHash<QString, QList<qint64>> m_attempts;
    qint64 m_lastPruneMs = 0;
};

} // namespace vesk::fleetd
