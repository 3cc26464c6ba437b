#include "policy/EnforcementLog.h"

#include <QStringList>

namespace vesk {

void EnforcementLog::append(const QDateTime &date, const QString &message)
{
    while (m_entries.size() >= capacity)
        m_entries.removeFirst();
    m_entries.append(PolicyLogEntry{QUuid::createUuid(), date, message});
}

QStringList EnforcementLog::messages() const
{
    QStringList texts;
    for (const PolicyLogEntry &entry : m_entries)
        texts.append(entry.message);
    return texts;
}

} // namespace vesk
