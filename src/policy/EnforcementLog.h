#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

namespace vesk {

// One line of the enforcement log the console shows.
struct PolicyLogEntry {
    QUuid id;
    QDateTime date;
    QString message;

    bool operator==(const PolicyLogEntry &) const = default;
};

// The enforcement log: in memory only, oldest first, at most 101 entries.
class EnforcementLog {
public:
    static constexpr qsizetype capacity = 101;

    void append(const QDateTime &date, const QString &message);
    const QList<PolicyLogEntry> &entries() const { return m_entries; }
    QStringList messages() const;

private:
    QList<PolicyLogEntry> m_entries;
};

} // namespace vesk
