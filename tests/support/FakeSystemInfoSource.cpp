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

void FakeSystemInfoSource::scriptResponses(qint32 pid, QList<bool> answers)
{
    const QMutexLocker lock(&m_mutex);
    m_scripted.insert(pid, std::move(answers));
}

int FakeSystemInfoSource::timesAsked(qint32 pid) const
{
    const QMutexLocker lock(&m_mutex);
    return m_asked.value(pid);
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
    ++m_asked[pid];
    if (QList<bool> &script = m_scripted[pid]; !script.isEmpty())
        return script.takeFirst();
    return !m_unresponsive.contains(pid);
}

} // namespace vesk::test
