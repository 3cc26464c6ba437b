#include "fleetd/http/RateLimiter.h"

namespace vesk::fleetd {

void RateLimiter::prune(qint64 nowMs)
{
    if (nowMs - m_lastPruneMs < m_windowMs)
        return;
    m_lastPruneMs = nowMs;
    for (auto it = m_attempts.begin(); it != m_attempts.end();) {
        if (it->isEmpty() || nowMs - it->constLast() >= m_windowMs)
            it = m_attempts.erase(it);
        else
            ++it;
    }
}

bool RateLimiter::allow(const QString &key, const QDateTime &now)
{
    const qint64 nowMs = now.toMSecsSinceEpoch();
    prune(nowMs);
    QList<qint64> &attempts = m_attempts[key];
    while (!attempts.isEmpty() && nowMs - attempts.constFirst() >= m_windowMs)
        attempts.removeFirst();
    // Keep at most limit + 1 entries: enough to know the window is full.
    if (attempts.size() > m_limit)
        attempts.removeFirst();
    attempts.append(nowMs);
    return attempts.size() <= m_limit;
}

} // namespace vesk::fleetd
