#pragma once

#include "wire/AlertReport.h"

#include <QList>
#include <QString>

namespace vesk {

// Alert reports waiting for the fleet server, oldest first, kept in one small JSON file in the
// storage folder so that they outlive a restart. At most `capacity` are kept: a report that
// arrives at a full outbox pushes out the oldest. Every change is written at once, whole,
// through a temporary file and a rename. With no file path it lives in memory only.
class AlertOutbox {
public:
    static constexpr qsizetype capacity = 500;

    // Loads what an earlier run left; an unreadable file is logged and starts an empty outbox.
    explicit AlertOutbox(QString filePath);

    bool isEmpty() const { return m_reports.isEmpty(); }
    qsizetype size() const { return m_reports.size(); }
    const AlertReport &first() const { return m_reports.constFirst(); }

    void append(AlertReport report);
    // Removes the oldest report when it is still `delivered` (a full outbox may have pushed
    // it out while it was on its way).
    void removeDelivered(const AlertReport &delivered);

private:
    void save() const;

    QString m_path;
    QList<AlertReport> m_reports;
};

} // namespace vesk
