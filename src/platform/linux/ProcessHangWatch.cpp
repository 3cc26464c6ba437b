#include "platform/linux/ProcessHangWatch.h"

#include "platform/Clock.h"
#include "platform/linux/ProcFile.h"
#include "platform/linux/ProcParsers.h"

#include <QFile>

#include <charconv>

namespace vesk {

namespace {

// An entry not looked at for this long belongs to a process nobody asks about any more.
constexpr qint64 kForgetAfterMs = 10 * 60 * 1000;

} // namespace

ProcessHangWatch::ProcessHangWatch(QString procRoot, const Clock &clock, std::chrono::milliseconds uninterruptibleLimit)
    : m_encodedRoot(QFile::encodeName(procRoot).toStdString()), m_clock(clock), m_limit(uninterruptibleLimit)
{
}

bool ProcessHangWatch::responds(qint32 pid) const
{
    std::string buffer;
    if (!readProcFile(pidPath(pid, "stat").c_str(), buffer))
        return false;
    const auto stat = parseProcessStatFields(buffer);
    if (!stat || isStoppedState(stat->state) || isEndedState(stat->state))
        return false;
    std::optional<quint64> switches;
    if (stat->state == 'D' && readProcFile(pidPath(pid, "status").c_str(), buffer))
        switches = parseContextSwitches(buffer);
    return !heldUninterruptible(pid, *stat, switches);
}

bool ProcessHangWatch::heldUninterruptible(qint32 pid, const ProcessStatFields &stat,
                                           std::optional<quint64> switches) const
{
    const QDateTime now = m_clock.now();
    const QMutexLocker lock(&m_mutex);
    forgetStale(now);
    if (stat.state != 'D') {
        m_held.remove(pid);
        return false;
    }
    auto it = m_held.find(pid);
    const bool sameStretch =
        it != m_held.end() && it->startTicks == stat.startTicks && it->switches == switches && it->since <= now;
    if (!sameStretch)
        it = m_held.insert(pid, Held{stat.startTicks, switches, now, now});
    it->lastSeen = now;
    return it->since.msecsTo(now) > m_limit.count();
}

void ProcessHangWatch::forgetStale(const QDateTime &now) const
{
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (it->lastSeen.msecsTo(now) > kForgetAfterMs || it->lastSeen > now)
            it = m_held.erase(it);
        else
            ++it;
    }
}

std::string ProcessHangWatch::pidPath(qint32 pid, const char *leaf) const
{
    return procPidPath(m_encodedRoot, pid, leaf);
}

} // namespace vesk
