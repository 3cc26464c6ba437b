#include "FakeSystemInfoSource.h"

namespace vesk::test {

void FakeSystemInfoSource::setUnresponsive(qint32 pid, bool unresponsive)
{
    const QMutexLocker lock(&m_mutex);
    if (unresponsive)
        m_unresponsive.insert(pid);
    else
        m_unresponsive.remove(pid);
}

std::optional<ProcessFigures> FakeSystemInfoSource::processFigures(qint32 pid)
{
    const auto it = processes.constFind(pid);
    if (it == processes.cend())
        return std::nullopt;
    return *it;
}

bool FakeSystemInfoSource::processResponds(qint32 pid) const
{
    const QMutexLocker lock(&m_mutex);
    return !m_unresponsive.contains(pid);
}

} // namespace vesk::test
