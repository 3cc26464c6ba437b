#pragma once

#include "platform/linux/ProcParsers.h"

#include <QList>
#include <QString>

#include <optional>

namespace vesk {

// Reads the kernel's process table under a proc root ("/proc"). Entries of processes that
// end while being read, or that belong to users we may not inspect, come back empty.
class ProcessTable {
public:
    explicit ProcessTable(QString procRoot = QStringLiteral("/proc"));

    QList<qint32> pids() const;
    // Target of /proc/PID/exe, without the " (deleted)" mark of a replaced binary.
    QString executable(qint32 pid) const;
    QStringList commandLine(qint32 pid) const;
    QString workingDirectory(qint32 pid) const;
    std::optional<ProcStat> stat(qint32 pid) const;
    std::optional<qint64> bootTime() const;
    qint64 ticksPerSecond() const;

private:
    QString pidPath(qint32 pid, const char *leaf) const;

    QString m_root;
};

} // namespace vesk
